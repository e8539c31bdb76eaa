// The wizard's built-in English wording: a text that the description does not give, for its language
// or for every language, has these words, so that no button, page title, option or question of a
// package is blank. They follow the sample's (tools/sample/description.txt) without its application's
// name; the texts that the packer filled before it had these keep their words ("Complete" ...).
#include <cstring>

#include "packer_private.h"

namespace package_builder {

static const char* const wizard_texts[][2] = {
    {"QUIT_TITLE", "Leave the installer"},
    {"QUIT_MSG", "Do you want to leave the installer now?"},
    {"QUIT_YES", "Leave"},
    {"QUIT_NO", "Stay"},
    {"COPY_ERROR_TITLE", "Copy error"},
    {"COPY_ERROR_MSG", "A file could not be installed.\nGo on with the next one?"},
    {"COPY_ERROR_YES", "Yes"},
    {"COPY_ERROR_NO", "No"},
    {"FORWARD", "Next"},
    {"FORWARD_HINT", "On to the next step"},
    {"PREVIOUS", "Back"},
    {"PREVIOUS_HINT", "Back to the step before"},
    {"AGREE", "Accept"},
    {"AGREE_HINT", "Accept the licence terms"},
    {"DISAGREE", "Decline"},
    {"DISAGREE_HINT", "Decline the terms and leave"},
    {"QUIT", "Cancel"},
    {"QUIT_HINT", "Leave the installer"},
    {"ABOUT", "About"},
    {"ABOUT_HINT", "About this installer"},
    {"INSTALL", "Install"},
    {"INSTALL_HINT", "Copy the files now"},
    {"FINISH", "Done"},
    {"FINISH_HINT", "Close the installer"},
    {"SELECT_LANGUAGE", "Language"},
    {"LICENCE_TITLE", "Licence terms"},
    {"README_TITLE", "Before you start"},
    {"INSTALL_TYPE_TITLE", "Installation type"},
    {"SELECT_OPTIONS_TITLE", "Where and how"},
    {"SELECT_OPTIONS_LOCATION_QUESTION", "Install into:"},
    {"SELECT_OPTIONS_USE_SYSTEM_PATHS", "Use the standard system folders"},
    {"SELECT_OPTIONS_SHORTCUT_QUESTION", "Shortcuts to create:"},
    {"SELECT_OPTIONS_DESKTOP_SHORTCUT", "On the desktop"},
    {"SELECT_OPTIONS_MENU_SHORTCUT", "In the applications menu"},
    {"SELECT_OPTIONS_SYSPATHS_SELECTED", "(the standard system folders)"},
    {"INSTALLING_TITLE", "Installing"},
    {"INSTALLING_STRING", "Installing..."},
    {"INITIALIZING_STRING", "Copying files..."},
    {"INSTALLING_DESKTOP_SHORTCUT", "Creating the desktop shortcuts"},
    {"INSTALLING_MENU_SHORTCUT", "Creating the menu shortcuts"},
    {"PACK_DATA_TITLE", "Packing data"},
    {"PACK_LOG_TITLE", "Packing log"},
    {"COMPLETE", "Complete"},
    {"OK_BUTTON", "OK"},
    {"CANCEL_BUTTON", "Cancel"},
    {"NEW_FOLDER_BUTTON", "New folder"},
    {"SELECT_FOLDER_TITLE", "Choose the destination"},
    {"SELECT_FOLDER_MSG", "Pick the folder to install into."},
    {"SELECT_FOLDER_MENU_TITLE", "Location:"},
    {"MY_COMPUTER", "This computer"},
    {"NEW_FOLDER_TITLE", "New folder"},
    {"NEW_FOLDER_MSG", "Name of the new folder:"},
    {"CHECK_DESKTOP_FAILED_TITLE", "Screen too small"},
    {"CHECK_DESKTOP_FAILED", "This screen is smaller than the installer needs. Do you want to leave the installer?"},
    {"PATCH_MSG", "This update installs over the earlier installation: choose the folder it is in."},
};

const char* default_wizard_text(int slot) {
  const char* name = language_text_name(slot);
  for (const auto& text : wizard_texts)
    if (name && std::strcmp(name, text[0]) == 0) return text[1];
  return nullptr;
}

}  // namespace package_builder
