// The lock states of the tabs: sealing a tab with a password, opening it for this run or for
// good, sealing it again; the password panel's commands and the F7 key.
#pragma once

#include "core/Types.h"

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

// Overwrites a secret's characters before the string lets go of them.
void WipeString(std::wstring& secret);

// The end of the run: every tab open for it is sealed again in memory (its texts, labels and
// password wiped), so that nothing after this can write it in plain text.
void ForgetOpenedTabs();

// The file work of sealing and opening, without windows or messages.
// Writes the slot's entries sealed with password (the template writer, no entry limit);
// true when the sealed file is in place.
bool SealTabFile(const TabSlot& slot, const std::wstring& password);

enum class OpenResult { FileUnreadable, WrongPassword, Opened };
// Reads and opens the slot's sealed file; on success items holds the entries.
// With `stamp`, also what the file looked like as it was read.
OpenResult OpenTabFile(const TabSlot& slot, const std::wstring& password, std::vector<HistoryItem>& items,
                       FileStamp* stamp = nullptr);

// The text of a sealed file as the opener reads it: trailing blanks and control bytes and a
// leading byte order mark dropped, decoded from UTF-8.
std::wstring SealedFileText(std::string_view bytes);

// The entries of an opened text: a memo pad's whole text, or the item text of a list tab;
// the placeholder of an empty sealed tab is never kept.
std::vector<HistoryItem> ItemsFromOpenedText(const std::wstring& text, TabType type);
