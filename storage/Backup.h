// Copies of the data files in the backup folder, and the start-up shortcut.
#pragma once

// Copies the five data files into the "backup" folder beside them (made when missing).
// True only when the folder exists and every copy succeeded; a failed copy does not stop
// the others.
bool BackupData();
