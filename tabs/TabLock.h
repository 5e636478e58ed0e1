// The lock states of the tabs: sealing a tab with a password, opening it for this run or for
// good, sealing it again; the password panel's commands and the F7 key.
#pragma once

#include "core/Types.h"
#include "storage/SlotFile.h" // the file work of sealing and opening

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Opens the password panel in setup mode for tab t (refused for a tab without entries).
void BeginTabEncryption(int t);

// Seals tab t with password: its file becomes one envelope and its entries leave memory.
bool EncryptTab(int t, const std::wstring& password);

// Opens sealed tab t: for this run (every save seals again) or for good (file rewritten plain).
void UnlockTab(int t, const std::wstring& password, bool forRun);

// Seals a tab that is open for the run again; its entries and password are wiped. Every
// change is already in its sealed file; a tab whose last save failed is refused (false).
bool RelockTab(int t);

// Ends the encryption setup and hides the panel.
void CancelEncryptionSetup();

// A button of the password panel was pressed, or Enter in its edits (8002, 8003, 8005, 8006).
void OnPanelButton(int id);

// The password panel's buttons: 8002/8003 (open), 8005 (seal), 8006 (cancel the setup).
void OnUnlockCommand(bool forRun);
void OnSealCommand();
void OnCancelSealCommand();

// F7: seal the current tab again when it is open for the run, else begin its setup.
void OnSealKey();

// The end of the run: every tab open for it is sealed again in memory (its texts, labels and
// password wiped), so that nothing after this can write it in plain text.
void ForgetOpenedTabs();
