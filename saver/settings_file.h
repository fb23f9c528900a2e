// The settings file's bytes: its lines as the reader takes them, a "Name = number" line, and
// the rewrite in place that puts the old bytes back when it fails. Everything goes through the
// disk's calls (saver/settings_disk.h), so the same rules hold on Windows and in native tests.
#pragma once

#include <cstdint>

// A line keeps its first 63 characters, and a NUL after them.
constexpr int kLineBufferSize = 64;

// Hands each line of the file to take, in order, without its line end. Returns false, having
// taken nothing, when the file cannot be opened.
using TakeLine = void (*)(const char* line, void* context);
bool ReadLines(const char* path, TakeLine take, void* context);

// Whether line is name, any blanks, "=", any blanks and a number, as the pattern
// "<name> = %d" of the Windows C library's scanf read it; *value is the number then.
bool MatchSetting(const char* line, const char* name, int32_t* value);

// Puts down "<key> = <value>" and CR LF at text, the bytes the pattern "%s = %d\r\n" of the C
// library's printf gives; returns how many (no NUL follows).
uint32_t PutSettingLine(char* text, const char* key, int32_t value);

// The longest text ReplaceFileContent takes: it keeps the bytes the text covers to put back.
constexpr uint32_t kLongestFileText = 256;

// Makes the file hold exactly text: an existing file is rewritten in place, a missing one made.
// Returns 0, or the system's code for the failure; the file then holds what it held before (a
// file that was not there is not left behind).
uint32_t ReplaceFileContent(const char* path, const char* text, uint32_t length);

// The user's copy counts as there when the system finds it, or refuses this user access to it
// (denied, or held open by another program). Any other answer means there is no copy.
bool CountsAsThere(uint32_t lookUpAnswer);
