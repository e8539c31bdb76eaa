// What both hosts' shortcuts share (code/host/host_shortcuts.cpp): the target text, the link file name, the
// group folder below the menu's program folder, making it, and removing the group folders that a
// removed link leaves empty. Not part of the host interface.
#pragma once
#include <string>

#include "folder.h"

// Longest link file name.
const size_t SHORTCUT_NAME_LIMIT = 255;

// The target: the program folder, the host's separator and the program name (the name alone without
// a folder), '/' in it turned to the host's separator; a program name that is an address is the
// target as it stands. False when empty or longer than limit (the host's), with failure saying so.
bool shortcut_target(FOLDER* program_folder, const char* program_name, size_t limit, std::string* target,
                     std::string* failure);
// The link's file name: the link name and the extension; false when the name is no single name
// (is_single_name) or is too long, with failure saying so.
bool shortcut_file_name(const char* link_name, const char* extension, std::string* file_name,
                        std::string* failure = nullptr);
// The target names a program file (".exe", any case; never an address).
bool shortcut_names_program(const std::string& target);
// The group folder of menu_folder ('/' or '\' separated; ".." moves up but never above programs);
// empty when the text has no host form, a component is longer than 255 characters or the path longer
// than limit.
std::string shortcut_group_folder(const std::string& programs, const char* menu_folder, size_t limit);
// Makes the folder and every missing folder above it; false when it cannot, with failure (when given)
// naming the folder that could not be made and the system's cause.
bool make_shortcut_folders(const std::string& path, std::string* failure = nullptr);
// Sets failure (when given) to the text; false, for the failing return of a shortcut operation.
bool shortcut_failure(std::string* failure, const std::string& text);
// From the group upward, removes each folder that is left empty, up to (never including) programs.
void remove_empty_groups(const std::string& programs, const std::string& group);
