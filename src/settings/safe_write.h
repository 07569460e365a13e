#pragma once
// Every write under the settings partition goes through here: remount it
// read-write, write, remount it read-only. A file is replaced through a
// temporary file in the same directory that is flushed to disk and renamed
// over the old one, so a power cut mid-save leaves either file whole.
#include <mutex>
#include <string>

// One lock serialises every write under the settings partition (the whole
// remount, write, remount sequence), whatever thread saves.
std::mutex &SettingsPartitionMutex();

// What a failed open of the new file leaves: the partition read-only again,
// as after every other attempt, or writable (setup.txt, by its own rule).
enum class OnOpenFailure { RemountReadOnly, LeaveWritable };

// Replaces `path` with `content`. False when nothing was written; the
// partition is remounted read-only after the attempt (see OnOpenFailure).
bool WriteSettingsFile(const std::string &path, const std::string &content,
                       OnOpenFailure onOpenFailure = OnOpenFailure::RemountReadOnly);

// Replaces `path` with `content` through a temporary file beside it,
// flushed and renamed, without remounting anything. False when nothing was
// replaced.
bool ReplaceSystemFile(const std::string &path, const std::string &content);

// Appends `text` to `path` (creating it), for logs kept on the partition.
bool AppendSettingsFile(const std::string &path, const std::string &text);

// Runs a shell command on the partition (a removal of a table file)
// between the two remounts. NotWritable: the partition could not be made
// writable and nothing was run.
enum class SettingsCommand { NotWritable, Failed, Done };
SettingsCommand RunSettingsCommand(const std::string &command);

// Removes the temporary files that saves interrupted by a power cut left in
// the settings directory (at start-up, before anything saves).
void RemoveInterruptedSaves();

// Test hook: called after the temporary file is complete and before the rename.
extern void (*settingsWriteAfterTempHook)(const std::string &tempPath);
