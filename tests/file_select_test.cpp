// Tests of the file selector: its shared icons, and the dialog in a scratch folder tree through the page
// manager's real pass - the rows of modes 1, 2 and 3, the extension filter and the extension appended to
// a new name, the ".." row up to the drives, the location menu, a double click on a row going one level,
// the keyboard's way through the list and the buttons, a new folder made on disk (and the names refused
// for one, and why, in a message box), every entry of a large folder, and the selection read into a
// buffer of a given size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "button.h"
#include "confirm.h"
#include "file_select.h"
#include "files.h"
#include "floating_menu.h"
#include "font.h"
#include "grid.h"
#include "host.h"
#include "image.h"
#include "image_object.h"
#include "menu.h"
#include "page_manager.h"
#include "redraw.h"
#include "script.h"
#include "test_support.h"
#include "text_edit.h"
#include "text_draw.h"
#include "text_edit_dialog.h"
#include "window_scenario.h"
#include "wm_test_support.h"

namespace {

TEST(FileSelectIcons, NamesAndSlots) {
  EXPECT_STREQ(file_select_drive_icon_name(0), "disk");
  EXPECT_STREQ(file_select_drive_icon_name(9), "disk-windows");
  EXPECT_EQ(file_select_drive_icon_name(10), nullptr);
  IMAGE* floppy = file_select_drive_icon(2);
  ASSERT_NE(floppy, nullptr);
  EXPECT_EQ(floppy->pixels, nullptr);
  EXPECT_EQ(file_select_drive_icon(2), floppy);
  EXPECT_EQ(file_select_drive_icon(42), file_select_drive_icon(0));
  EXPECT_NE(file_select_parent_icon(), file_select_file_icon());
  EXPECT_NE(file_select_file_icon(), file_select_folder_icon());
  floppy->set_size(3, 2);
  EXPECT_EQ(file_select_drive_icon(2)->width, 3);
  stop_file_select_icons();
  EXPECT_EQ(file_select_drive_icon(2)->pixels, nullptr);
  stop_file_select_icons();
}

TEST(FileSelectNames, NewFolderNames) {
  for (const char* good : {"a", "New folder", "x.y", "..x", "{1}"}) EXPECT_TRUE(is_new_folder_name(good)) << good;
  for (const char* bad : {"", ".", "..", "a:b", "C:", "a/b", "a\\b", "/"}) EXPECT_FALSE(is_new_folder_name(bad)) << bad;
  EXPECT_FALSE(is_new_folder_name(nullptr));
}

struct OWNER_CALL {
  INT_U32 user1, result;
  int value;
};
std::vector<OWNER_CALL> owner_calls;
WM_RESULT owner_event(WM_SCREEN_OBJECT*, INT_U32 user1, INT_U32 result, int value) {
  owner_calls.push_back({user1, result, value});
  return 0;
}

class FileSelectTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN* screen = nullptr;
  std::string top;  // the scratch tree, ending with the separator
  FOLDER tree;
  WM_FILE_SELECT* selector = nullptr;

  void SetUp() override {
    screen = new WM_TEST_SCREEN(640, 480, 1);
    use_on_screen_keyboard = 0;
    owner_calls.clear();
    tree = scratch_folder("file-select", &top);
    FOLDER sub = tree;
    ASSERT_TRUE(sub.enter("alpha", true));
    sub = tree;
    ASSERT_TRUE(sub.enter("beta", true));
    for (const char* name : {"a.txt", "b.dat", "c.txt"}) ASSERT_TRUE(write_whole_file(top + name, {'x'}));
    selector = new WM_FILE_SELECT(-1, -1, true, owner_event, 9, nullptr, nullptr, nullptr);
    screen->manager->get_root()->add_top_level(selector, false);
  }
  void TearDown() override {
    delete screen;
    use_on_screen_keyboard = 0xFF;
  }
  // The names of the list's rows (column 1), top to bottom.
  std::vector<std::string> rows() {
    std::vector<std::string> names;
    for (INT_S32 r = 0; r < selector->list->row_count; r++) {
      WM_SCREEN_OBJECT* cell = selector->list->cell(1, r);
      names.push_back(cell && (cell->kind & WM_KIND_BUTTON) ? static_cast<WM_BUTTON*>(cell)->label : "?");
    }
    return names;
  }
  static std::vector<std::string> sorted(std::vector<std::string> v, size_t from = 1) {
    std::sort(v.begin() + (long)from, v.end());
    return v;
  }
  // The event a click on the row's name would send.
  void pick_row(INT_S32 row) {
    WM_SCREEN_OBJECT* cell = selector->list->cell(1, row);
    ASSERT_NE(cell, nullptr);
    WM_FILE_SELECT::list_event(cell, cell->event_user1, cell->event_user2, 0);
    settle_effects();
  }
};

TEST_F(FileSelectTest, ShortFormAndItsParts) {
  EXPECT_EQ(selector->width, 500);
  EXPECT_EQ(selector->height, 350);
  EXPECT_EQ(selector->kind & WM_KIND_FILE_SELECT, (INT_U32)WM_KIND_FILE_SELECT);
  EXPECT_EQ(selector->mode, 0);
  EXPECT_STREQ(selector->ok_button->label, "OK");
  EXPECT_STREQ(selector->cancel_button->label, "Cancel");
  EXPECT_STREQ(selector->new_folder_button->label, "New Folder");
  EXPECT_STREQ(selector->my_computer_text.text, "My Computer");
  EXPECT_STREQ(selector->new_folder_title.text, "New Folder");
  EXPECT_STREQ(selector->new_folder_prompt.text, "Enter new folder name");
  EXPECT_EQ(selector->list->maximum_rows, -1);
  EXPECT_EQ(selector->name_style.flags & (ssf_draw_border | ssf_indent_border), ssf_draw_border | ssf_indent_border);
  // The button row: New Folder at the left, OK at the right, Cancel left of it.
  INT_S16 half = (INT_S16)(selector->new_folder_button->height / 2);
  EXPECT_EQ(selector->new_folder_button->x, selector->client->x + half);
  EXPECT_EQ(selector->cancel_button->x + selector->cancel_button->width, selector->ok_button->x - half);
  EXPECT_EQ(selector->ok_button->y, selector->new_folder_button->y);
  EXPECT_LT(selector->list->y + selector->list->height, selector->name_field->y);
  EXPECT_LT(selector->name_field->y + selector->name_field->height, selector->ok_button->y);
}

TEST_F(FileSelectTest, ModesListWhatTheyShould) {
  selector->set_mode(FILE_SELECT_FOLDER, &tree, "ignored", nullptr);
  settle_effects();
  EXPECT_STREQ(selector->get_title(), "Select a Folder");
  EXPECT_STREQ(selector->message->text.value.text, "Select an exsiting folder.");
  EXPECT_EQ(sorted(rows()), (std::vector<std::string>{"..", "alpha", "beta"}));
  EXPECT_STREQ(selector->name_field->text.text ? selector->name_field->text.text : "", "");
  EXPECT_EQ(selector->name_field->editable, 0);
  EXPECT_EQ(selector->new_folder_button->enabled, 1);
  EXPECT_EQ(selector->ok_button->enabled, 1);

  selector->set_mode(FILE_SELECT_FILE, &tree, "b.dat", nullptr);
  settle_effects();
  EXPECT_STREQ(selector->get_title(), "Select a File");
  EXPECT_STREQ(selector->message->text.value.text, "Select an exsiting file.");
  // Folders before files, each by name, whatever order the file system keeps them in.
  std::vector<std::string> listed = rows();
  EXPECT_EQ(listed, (std::vector<std::string>{"..", "alpha", "beta", "a.txt", "b.dat", "c.txt"}));
  EXPECT_EQ(selector->name_field->editable, 0);
  EXPECT_EQ(selector->new_folder_button->enabled, 0);
  EXPECT_EQ(selector->ok_button->enabled, 1);
  ASSERT_GE(selector->highlighted_row, 3);  // the named file is highlighted
  EXPECT_EQ(listed[(size_t)selector->highlighted_row], "b.dat");
  EXPECT_EQ(selector->list->rows[selector->highlighted_row]->highlighted, 1);

  selector->set_mode(FILE_SELECT_NEW_FILE, &tree, "", ".txt");
  settle_effects();
  EXPECT_STREQ(selector->get_title(), "Select a New File");
  EXPECT_EQ(sorted(rows()), (std::vector<std::string>{"..", "a.txt", "alpha", "beta", "c.txt"}));
  EXPECT_EQ(selector->name_field->editable, 1);
  EXPECT_EQ(selector->ok_button->enabled, 0);  // no name yet
  // A file row puts its name into the field and moves the highlight; OK follows.
  listed = rows();
  INT_S32 c_row = (INT_S32)(std::find(listed.begin(), listed.end(), "c.txt") - listed.begin());
  pick_row(c_row);
  EXPECT_STREQ(selector->name_field->text.text, "c.txt");
  EXPECT_EQ(selector->highlighted_row, c_row);
  EXPECT_EQ(selector->ok_button->enabled, 1);

  // A mode of 0 or above 3 changes nothing but the rebuild; no start folder keeps the folder.
  selector->set_mode(7, nullptr, nullptr, nullptr);
  EXPECT_EQ(selector->mode, FILE_SELECT_NEW_FILE);
  EXPECT_EQ(selector->refresh, 1);
  FOLDER elsewhere = tree;
  ASSERT_TRUE(elsewhere.enter("alpha"));
  selector->set_mode(FILE_SELECT_FOLDER, &elsewhere, nullptr, nullptr);
  selector->set_mode(FILE_SELECT_FILE, nullptr, nullptr, nullptr);
  EXPECT_TRUE(selector->folder.equals(&elsewhere));
}

TEST_F(FileSelectTest, SelectionAndTheExtension) {
  char name[64];
  selector->set_mode(FILE_SELECT_NEW_FILE, &tree, "report", ".txt");
  settle_effects();
  FOLDER chosen;
  ASSERT_TRUE(selector->get_selection(&chosen, name, sizeof name));
  EXPECT_TRUE(chosen.equals(&tree));
  EXPECT_STREQ(name, "report.txt");
  selector->name_field->set_text("report.txt");  // already ends with it
  ASSERT_TRUE(selector->get_selection(&chosen, name, sizeof name));
  EXPECT_STREQ(name, "report.txt");
  selector->name_field->set_text("report.TXT");  // another letter case gets it once more
  ASSERT_TRUE(selector->get_selection(&chosen, name, sizeof name));
  EXPECT_STREQ(name, "report.TXT.txt");
  selector->name_field->set_text("xt");  // shorter than the extension
  ASSERT_TRUE(selector->get_selection(&chosen, name, sizeof name));
  EXPECT_STREQ(name, "xt.txt");

  // The caller's buffer bounds everything written, the extension included.
  selector->name_field->set_text("abcd");
  char small[10];
  std::memset(small, '#', sizeof small);
  EXPECT_FALSE(selector->get_selection(&chosen, small, 8));  // "abcd.txt" needs 9
  EXPECT_EQ(small[0], 0);
  for (int i = 1; i < 10; i++) EXPECT_EQ(small[i], '#') << i;
  EXPECT_TRUE(selector->get_selection(&chosen, small, 9));
  EXPECT_STREQ(small, "abcd.txt");
  EXPECT_EQ(small[9], '#');
  EXPECT_FALSE(selector->get_selection(&chosen, nullptr, 0));  // mode 2 needs the name

  // Mode 1: the name as it stands; mode 3: the folder, entered by the name when one is given.
  selector->set_mode(FILE_SELECT_FILE, &tree, "b.dat", ".txt");
  ASSERT_TRUE(selector->get_selection(&chosen, name, sizeof name));
  EXPECT_STREQ(name, "b.dat");
  selector->set_mode(FILE_SELECT_FOLDER, &tree, nullptr, nullptr);
  std::strcpy(name, "junk");
  ASSERT_TRUE(selector->get_selection(&chosen, name, sizeof name));
  EXPECT_STREQ(name, "");
  EXPECT_TRUE(chosen.equals(&tree));
  selector->name_field->set_text("beta");
  ASSERT_TRUE(selector->get_selection(&chosen, nullptr, 0));
  FOLDER beta = tree;
  ASSERT_TRUE(beta.enter("beta"));
  EXPECT_TRUE(chosen.equals(&beta));
  // No mode: nothing.
  WM_FILE_SELECT fresh(-1, -1, false, nullptr, 0, nullptr, nullptr, nullptr);
  EXPECT_FALSE(fresh.get_selection(&chosen, name, sizeof name));
}

// The folder shown is one the person chose once a row, a location entry or a new folder took them
// there, the start folder opened again included; never at the start (an OK there chooses nothing).
TEST_F(FileSelectTest, TheFolderIsChosenOnlyOnceThePersonMovesOrMakesOne) {
  FOLDER alpha = tree;
  ASSERT_TRUE(alpha.enter("alpha"));
  selector->set_mode(FILE_SELECT_FOLDER, &tree, nullptr, nullptr);
  settle_effects();
  EXPECT_FALSE(selector->chose_folder());
  pick_row(1);  // "alpha"
  EXPECT_TRUE(selector->folder.equals(&alpha));
  EXPECT_TRUE(selector->chose_folder());
  advance_ms(1000);  // no double click
  pick_row(0);       // ".." back to the start folder, chosen this time
  EXPECT_TRUE(selector->folder.equals(&tree));
  EXPECT_TRUE(selector->chose_folder());
  selector->set_mode(FILE_SELECT_FOLDER, &alpha, nullptr, nullptr);
  settle_effects();
  EXPECT_FALSE(selector->chose_folder());
  selector->make_new_folder("made");
  EXPECT_TRUE(selector->chose_folder());
  // An owner that moves the folder itself has chosen it too.
  selector->set_mode(FILE_SELECT_FOLDER, &alpha, nullptr, nullptr);
  selector->folder = tree;
  EXPECT_TRUE(selector->chose_folder());
}

TEST_F(FileSelectTest, FoldersUpToTheDrives) {
  selector->set_mode(FILE_SELECT_FOLDER, &tree, nullptr, nullptr);
  settle_effects();
  std::vector<std::string> listed = rows();
  INT_S32 alpha_row = (INT_S32)(std::find(listed.begin(), listed.end(), "alpha") - listed.begin());
  pick_row(alpha_row);  // into alpha
  FOLDER alpha = tree;
  ASSERT_TRUE(alpha.enter("alpha"));
  EXPECT_TRUE(selector->folder.equals(&alpha));
  EXPECT_EQ(rows(), std::vector<std::string>{".."});  // an empty folder shows only the parent row
  // The location menu: this folder, each parent up to the root, then "My Computer".
  WM_FLOATING_MENU* popup = selector->location_menu->popup;
  ASSERT_NE(popup, nullptr);
  INT_S32 levels = 1;
  for (FOLDER up = alpha; up.go_up();) levels++;
  EXPECT_EQ(popup->entry_count, levels + 1);
  EXPECT_STREQ(popup->get_entry(0)->label, "alpha");
  EXPECT_STREQ(popup->get_entry((INT_S16)levels)->label, "My Computer");
  EXPECT_STREQ(selector->location_menu->label, "alpha");
  // The location entry one level up goes to the tree again.
  WM_BUTTON* one_up = popup->get_entry(1);
  WM_FILE_SELECT::list_event(one_up, one_up->event_user1, one_up->event_user2, 0);
  settle_effects();
  EXPECT_TRUE(selector->folder.equals(&tree));
  // ".." from the root reaches the drives.
  FOLDER root;
  ASSERT_TRUE(root.set_to_drive_root(0));
  selector->set_mode(FILE_SELECT_FOLDER, &root, nullptr, nullptr);
  settle_effects();
  file_select_drive_icon(0)->set_size(6, 6);  // the disk icon stands in for kinds without an icon
  pick_row(0);
  EXPECT_EQ(selector->at_my_computer, 1);
  EXPECT_EQ(selector->row_count, get_drive_count());
  // Each drive row: its root (a drive letter on Windows) and its icon.
  for (INT_S32 i = 0; i < selector->row_count; i++) {
    const char* root_text = get_drive_root_text((INT_S16)i);
    ASSERT_NE(root_text, nullptr);
    EXPECT_EQ(rows()[(size_t)i], root_text);
    if (PATH_SEPARATOR == '\\') {
      EXPECT_EQ(std::strlen(root_text), 3u) << root_text;
      EXPECT_TRUE(root_text[0] >= 'A' && root_text[0] <= 'Z') << root_text;
      EXPECT_EQ(root_text[1], ':') << root_text;
    }
    WM_SCREEN_OBJECT* icon = selector->list->cell(0, i);
    ASSERT_NE(icon, nullptr);
    ASSERT_TRUE(icon->kind & WM_KIND_IMAGE);
    EXPECT_NE(static_cast<WM_IMAGE*>(icon)->image.pixels, nullptr);  // a copy of the disk icon, fitted to the cell
    EXPECT_EQ(icon->event_user1, (INT_U32)FILE_SELECT_DRIVE);
  }
  EXPECT_STREQ(static_cast<WM_BUTTON*>(selector->list->cell(1, 0))->label, get_drive_root_text(0));
  EXPECT_EQ(selector->new_folder_button->enabled, 0);
  EXPECT_EQ(selector->ok_button->enabled, 0);
  EXPECT_STREQ(selector->location_menu->label, "My Computer");
  pick_row(0);  // a drive row: its root
  EXPECT_EQ(selector->at_my_computer, 0);
  EXPECT_TRUE(selector->folder.equals(&root));
}

// Every folder that the file system lists is listed: a link to a folder and a mount point (under Wine
// both are reparse points) among the folders, each leading into it. The system's shell makes them; a
// mount needs root (as CI runs), without which that part is skipped.
TEST_F(FileSelectTest, FoldersBehindLinksAndMountPointsAreListed) {
  WINDOW_SCENARIO system("file-select-mounts");  // only for its Unix shell
  std::string answer;
  if (!system.run_shell("link", "d=$(dirname \"$OUT\"); mkdir \"$d/target\" \"$d/mounted\" && "
                                "ln -s \"$d/target\" \"$d/linked\" && echo made",
                        &answer) ||
      answer.find("made") == std::string::npos)
    GTEST_SKIP() << "no Unix shell to make a link with: " << answer;
  bool mounted = system.run_shell("mount", "mount -t tmpfs velk-test \"$(dirname \"$OUT\")/mounted\" && echo mounted",
                                  &answer) &&
                 answer.find("mounted") != std::string::npos;
  // The shell takes back what it made: the scratch folder's removal would not take a link through
  // Windows's eyes (a reparse point).
  struct TAKE_BACK {
    WINDOW_SCENARIO& system;
    ~TAKE_BACK() {
      std::string answer;
      system.run_shell("take-back", "d=$(dirname \"$OUT\"); umount \"$d/mounted\" 2>/dev/null; rm \"$d/linked\"",
                       &answer);
    }
  } take_back{system};
  FOLDER folder;
  ASSERT_TRUE(folder.set_if_folder(system.scratch().c_str()));
  selector->set_mode(FILE_SELECT_FOLDER, &folder, nullptr, nullptr);
  settle_effects();
  std::vector<std::string> listed = rows();
  EXPECT_EQ(listed, (std::vector<std::string>{"..", "linked", "mounted", "target"}));
  for (const char* name : {"linked", "mounted"}) {
    listed = rows();
    pick_row((INT_S32)(std::find(listed.begin(), listed.end(), name) - listed.begin()));
    FOLDER inside = folder;
    ASSERT_TRUE(inside.enter(name));
    EXPECT_TRUE(selector->folder.equals(&inside)) << name;
    selector->set_mode(FILE_SELECT_FOLDER, &folder, nullptr, nullptr);
    settle_effects();
  }
  if (!mounted) GTEST_SKIP() << "mounting needs root: the mount point was not tried (" << answer << ")";
}

// Names that the file system holds outside ASCII are listed as the system's text (Latin-1 here), which
// the list draws, and lead back to the same folder and file.
TEST_F(FileSelectTest, NamesOutsideAsciiAreListedInTheSystemsTextAndLeadToTheirFiles) {
  const std::string host_folder = top + "M\xC3\xBCller" + PATH_SEPARATOR;
  std::filesystem::create_directories(std::filesystem::u8path(host_folder));
  ASSERT_TRUE(write_whole_file(host_folder + "Gr\xC3\xBC\xC3\x9F" "e-\xC3\xB1.txt", {'g'}));
  selector->set_mode(FILE_SELECT_FILE, &tree, nullptr, nullptr);
  settle_effects();
  std::vector<std::string> listed = rows();
  INT_S32 folder_row = (INT_S32)(std::find(listed.begin(), listed.end(), "M\xFCller") - listed.begin());
  ASSERT_LT(folder_row, (INT_S32)listed.size());
  pick_row(folder_row);
  EXPECT_STREQ(selector->location_menu->label, "M\xFCller");
  EXPECT_EQ(rows(), (std::vector<std::string>{"..", "Gr\xFC\xDF" "e-\xF1.txt"}));
  pick_row(1);
  FOLDER chosen;
  char name[256] = "";
  ASSERT_TRUE(selector->get_selection(&chosen, name, sizeof name));
  EXPECT_STREQ(name, "Gr\xFC\xDF" "e-\xF1.txt");
  FILE* file = open_file(&chosen, name, "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fgetc(file), 'g');
  close_file(file);
}

// A double click on a row opens one level: its second click lands on the row the first one opened and
// does nothing more. A click after the double-click time, or elsewhere, opens as any click does.
TEST_F(FileSelectTest, ADoubleClickOnARowGoesOneLevel) {
  FOLDER alpha = tree, one, two;
  ASSERT_TRUE(alpha.enter("alpha"));
  one = alpha;
  ASSERT_TRUE(one.enter("one", true));
  two = one;
  ASSERT_TRUE(two.enter("two", true));
  selector->set_mode(FILE_SELECT_FOLDER, &two, nullptr, nullptr);
  settle_effects();
  auto click_row = [&](INT_S32 row) {
    WM_SCREEN_OBJECT* cell = selector->list->cell(1, row);
    ASSERT_NE(cell, nullptr);
    click((INT_S16)(cell->x + cell->width / 2), (INT_S16)(cell->y + cell->height / 2));
    run_pass();  // the list of the folder opened
  };
  auto double_click_row = [&](INT_S32 row) {
    click_row(row);
    advance_ms(120);
    click_row(row);
  };
  double_click_row(0);  // ".."
  EXPECT_TRUE(selector->folder.equals(&one)) << selector->folder.path;
  advance_ms(query_double_click_time() + 1);
  click_row(0);
  EXPECT_TRUE(selector->folder.equals(&alpha)) << selector->folder.path;
  advance_ms(1000);
  double_click_row(1);  // "one", then the row of "two" beneath the pointer
  EXPECT_TRUE(selector->folder.equals(&one)) << selector->folder.path;
  advance_ms(1000);
  click_row(0);
  advance_ms(120);
  click_row(1);  // quick, but on another row
  EXPECT_TRUE(selector->folder.equals(&one)) << selector->folder.path;
}

// The keyboard: Tab goes in reading order, from the list (one stop, a row in view) to the buttons left to
// right, and Shift+Tab back; the arrows move along the rows, Enter or Space opens the row that has the
// focus, which stays in the list; Escape answers as Cancel.
TEST_F(FileSelectTest, TheKeyboardGoesInReadingOrderThroughTheListAndEscapeCancels) {
  for (int i = 0; i < 40; i++) ASSERT_TRUE(FOLDER(tree).enter(("sub" + std::to_string(100 + i)).c_str(), true));
  selector->set_mode(FILE_SELECT_FOLDER, &tree, nullptr, nullptr);
  settle_effects();
  WM_SCREEN_OBJECT* order[] = {selector->list->cell(1, 0), selector->new_folder_button, selector->cancel_button,
                               selector->ok_button, selector->list->cell(1, 0)};
  order[0]->take_focus();
  for (int i = 1; i < 5; i++) EXPECT_EQ((key(VKEY_TAB), focus_object), order[i]) << i;
  EXPECT_EQ((key(VKEY_TAB, VKEY_LSHIFT), focus_object), selector->ok_button);
  key(VKEY_TAB);
  std::vector<std::string> names = rows();
  INT_S32 at = (INT_S32)(std::find(names.begin(), names.end(), "sub104") - names.begin());
  for (INT_S32 r = 0; r < at; r++) key(VKEY_DOWN);
  key(VKEY_SPACE);
  key(VKEY_RETURN);  // at once after the Space, the pointer where it was: no double click
  run_pass();
  EXPECT_STREQ(selector->folder.get_name(), FOLDER(tree).get_name()) << selector->folder.path;
  // Scrolled away from the list's stop, Tab still finds the list on a row in view.
  selector->ok_button->take_focus();
  selector->list->scroll_position.set_int(&selector->list->scroll_position.value, 0);
  INT_S16 column = 0, row = 0;
  EXPECT_TRUE((run_pass(), key(VKEY_TAB), selector->list->find_focused_cell(&column, &row, false)) && row > 0);
  key(VKEY_ESCAPE);
  ASSERT_EQ(owner_calls.size(), 1u);
  EXPECT_EQ(owner_calls[0].result, 0u);
}

TEST_F(FileSelectTest, NewFolderMadeOnDiskAndBadNamesRefused) {
  selector->set_mode(FILE_SELECT_FOLDER, &tree, nullptr, nullptr);
  settle_effects();
  auto new_folder_dialog = [&]() -> WM_TEXT_EDIT_DIALOG* {
    tap(selector->new_folder_button);
    settle_effects();
    PTRLLIST* list = top_level_list();
    WM_SCREEN_OBJECT* last = list->tail ? static_cast<WM_SCREEN_OBJECT*>(stored_pointer(list->tail)) : nullptr;
    if (!last || !(last->kind & WM_KIND_TEXT_EDIT_DIALOG)) return nullptr;
    return static_cast<WM_TEXT_EDIT_DIALOG*>(last);
  };
  WM_TEXT_EDIT_DIALOG* dialog = new_folder_dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->get_owner(), selector);
  EXPECT_STREQ(dialog->get_title(), "New Folder");
  EXPECT_STREQ(dialog->prompt->text.value.text, "Enter new folder name");
  EXPECT_EQ(dialog->edit->char_filter, is_text_char);
  EXPECT_EQ(dialog->edit->max_length, 256);
  EXPECT_EQ(dialog->width, 450);  // centred at the default size
  // A name refused, or a folder the system does not make, is said so in a message box over the selector,
  // which its button closes; an empty name makes nothing and says nothing.
  ASSERT_TRUE(write_whole_file(top + "taken", {'x'}));
  char cause[256];  // the system's own words for it
  forget_file_failure();
  ASSERT_FALSE(FOLDER(tree).enter("taken", true));
  describe_file_failure(cause, sizeof cause);
  ASSERT_NE(cause[0], 0);
  const char* refused =
      "could not be made: a folder's name may not be \".\" or \"..\", nor hold \":\", \"/\" or \"\\\".";
  for (const char* bad : {"", ".", "..", "x:y", "x/y", "taken"}) {
    if (!dialog) dialog = new_folder_dialog();
    ASSERT_NE(dialog, nullptr);
    dialog->edit->set_text(bad);
    tap(dialog->ok_button);
    settle_effects();
    EXPECT_FALSE(is_top_level(dialog)) << bad;  // closed in any case
    dialog = nullptr;
    EXPECT_TRUE(selector->folder.equals(&tree)) << bad;
    auto* box = static_cast<WM_CONFIRM*>(stored_pointer(top_level_list()->tail));
    if (!*bad) continue;
    ASSERT_TRUE(box->kind & WM_KIND_CONFIRM) << bad;
    EXPECT_STREQ(box->get_title(), "New Folder");
    std::string shown = box->text->data_buffer[0].text, start = "The folder \"" + std::string(bad) + "\" ";
    EXPECT_EQ(shown, start + (*bad == 't' ? "could not be made: " + std::string(cause) + "." : refused));
    key(VKEY_ESCAPE);
    settle_effects();
  }
  EXPECT_FALSE(file_exists(&tree, "x:y"));
  EXPECT_EQ(sorted(rows()), (std::vector<std::string>{"..", "alpha", "beta"}));
  // Cancel makes nothing either.
  dialog = new_folder_dialog();
  dialog->edit->set_text("never");
  tap(dialog->cancel_button);
  settle_effects();
  EXPECT_FALSE(file_exists(&tree, "never"));
  // OK with a good name makes the folder on disk and enters it.
  dialog = new_folder_dialog();
  dialog->edit->set_text("Fresh one");
  tap(dialog->ok_button);
  settle_effects();
  EXPECT_TRUE(file_exists(&tree, "Fresh one"));
  FOLDER fresh = tree;
  ASSERT_TRUE(fresh.enter("Fresh one"));
  EXPECT_TRUE(selector->folder.equals(&fresh));
  FOLDER chosen;
  ASSERT_TRUE(selector->get_selection(&chosen, nullptr, 0));
  EXPECT_TRUE(chosen.equals(&fresh));
  // OK reports to the owner with result 1 and event 1; Cancel with 0.
  tap(selector->ok_button);
  ASSERT_FALSE(owner_calls.empty());
  EXPECT_EQ(owner_calls.back().user1, 9u);
  EXPECT_EQ(owner_calls.back().result, 1u);
  EXPECT_EQ(owner_calls.back().value, 1);
  tap(selector->cancel_button);
  EXPECT_EQ(owner_calls.back().result, 0u);
}

TEST_F(FileSelectTest, EveryEntryOfALargeFolder) {
  FOLDER big = tree;
  ASSERT_TRUE(big.enter("big", true));
  std::string path = top + "big" + std::string(1, PATH_SEPARATOR);
  for (int i = 0; i < 1500; i++) ASSERT_TRUE(write_whole_file(path + "f" + std::to_string(i), {}));
  selector->set_mode(FILE_SELECT_FILE, &big, nullptr, nullptr);
  settle_effects();
  EXPECT_EQ(selector->row_count, 1501);
  EXPECT_EQ(selector->list->row_count, 1501);
  EXPECT_NE(selector->list->cell(1, 1500), nullptr);
  // The list stops at the last row a grid can number, without wrapping round.
  selector->row_count = FILE_SELECT_MAX_ROWS;
  SCAN_ENTRY entry = {};
  entry.name = "one more";
  selector->add_entry_row(&entry);
  EXPECT_EQ(selector->row_count, FILE_SELECT_MAX_ROWS);
  EXPECT_EQ(selector->list->row_count, 1501);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// The real window

namespace {

// The "name x y" lines the probe printed.
// Lightness of a colour from 0 to 1 (sRGB luminance weights, no gamma).
double lightness(COLOUR c) {
  return (0.2126 * ((c >> 16) & 0xFF) + 0.7152 * ((c >> 8) & 0xFF) + 0.0722 * (c & 0xFF)) / 255;
}

// The dialog as the wizard opens it (white text on black for the menu and the list), drawn in DejaVu
// Sans at the library's default size in a folder of a twelve-letter name holding folders with a long
// name, at the sample package's size and at the default size; and a small one with long button labels.
TEST(FileSelectLayout, WholeValuesInContrastingTextAndNoTextOverAnother) {
  REQUIRE_SYSTEM_FONTS();
  ASSERT_TRUE(start_with_system_font(10));
  FOLDER tree = scratch_folder("file-select-layout");
  ASSERT_TRUE(tree.enter("Applications", true));  // a twelve-letter location, shown whole
  for (const char* name : {"Games", "System tools and utilities for the administrator",
                           "System tools and utilities for the administrator, part 2"}) {
    FOLDER sub = tree;
    ASSERT_TRUE(sub.enter(name, true));
  }
  // The width a text needs in an object's font, with the object's gaps.
  auto needs = [](auto* object, const char* text) {
    return text_width(draw_target, object->font_id, object->font_x_size, object->font_y_size, text, -1, false) +
           object->left_gap + object->right_gap;
  };
  for (INT_S16 size : {520, -1}) {
    WM_TEST_SCREEN screen(640, 480, 1);
    WM_STYLE_SET plain;
    WM_FILE_SELECT* selector = new WM_FILE_SELECT(-1, -1, size, (INT_S16)(size == -1 ? -1 : 380), &plain, &plain,
                                                  &plain, &plain, &plain, true, owner_event, 5, 0, 0, 0, 0, 0);
    screen.manager->get_root()->add_top_level(selector, false);
    selector->set_mode(FILE_SELECT_FOLDER, &tree, nullptr, nullptr);
    selector->message->set_text("Pick the folder to install into.", false);
    run_passes(2);
    WM_GRID* list = selector->list;
    ASSERT_EQ(list->row_count, 4);
    // No row shows only in part; sizes and dates whole; every text contrasts with the list.
    EXPECT_EQ((list->inner_height() + list->style.y_spacing) % (list->default_row_height + list->style.y_spacing), 0);
    for (INT_S32 r = 0; r < list->row_count; r++)
      for (INT_S32 c = 1; c < 4; c++) {
        WM_BUTTON* cell = static_cast<WM_BUTTON*>(list->cell(c, r));
        if (!cell) continue;
        EXPECT_GE(std::abs(lightness(cell->text_colour) - lightness(list->style.bg_colour)), 0.5) << cell->label;
        if (c > 1) {
          EXPECT_LE(needs(cell, cell->label), cell->width) << size << " " << cell->label;
        }
      }
    // The message on a row of its own, whole; below it the label and the menu side by side, both whole,
    // inside the location rows.
    WM_SCREEN_OBJECT* parts[3] = {selector->message, selector->location_label, selector->location_menu};
    EXPECT_LE(parts[0]->y + parts[0]->height, parts[1]->y) << size;
    EXPECT_EQ(parts[1]->y, parts[2]->y) << size;
    EXPECT_LT(parts[1]->x + parts[1]->width, parts[2]->x) << size;
    EXPECT_LE(needs(selector->message, "Pick the folder to install into."), selector->message->width) << size;
    WM_MENU* menu = selector->location_menu;
    EXPECT_LE(needs(menu, menu->label) + ((menu->button_flags & bf_down_arrow) ? menu->height : 0), menu->width)
        << size;
    for (WM_SCREEN_OBJECT* part : parts) {
      EXPECT_GE(part->x, selector->location_row->x);
      EXPECT_LE(part->x + part->width, selector->location_row->x + selector->location_row->width);
    }
    // All three within the rows' border gaps, where the grid draws them and clips what they draw.
    settle_effects();
    WM_GRID* row = selector->location_row;
    for (WM_SCREEN_OBJECT* part : parts) {
      EXPECT_GE(part->y, row->y + row->style.border_top_gap) << size;
      EXPECT_LE(part->y + part->height, row->y + row->height - row->style.border_bottom_gap) << size;
    }
    EXPECT_LE(needs(selector->location_label, "Location:"), selector->location_label->width);
    EXPECT_GE(std::abs(lightness(selector->message->text_colour) - lightness(selector->location_row->style.bg_colour)),
              0.5);
    // Two names too long for their column that share their beginning show apart.
    std::vector<WM_BUTTON*> names;
    for (INT_S32 r = 1; r < list->row_count; r++)
      if (static_cast<WM_BUTTON*>(list->cell(1, r))->label[0] == 'S') names.push_back((WM_BUTTON*)list->cell(1, r));
    ASSERT_EQ(names.size(), 2u);
    WM_BUTTON *one = names[0], *two = names[1];
    bool apart = false;
    for (int at = 0; at < one->width * one->height; at++)
      apart |= screen_pixel((INT_S16)(one->x + at % one->width), (INT_S16)(one->y + at / one->width)) !=
               screen_pixel((INT_S16)(two->x + at % one->width), (INT_S16)(two->y + at / one->width));
    EXPECT_TRUE(apart && one->width < needs(one, one->label)) << size;
    // A message too long for one line takes the lines it needs (three here), and the list below gives up
    // the height, its rows still whole; a short one takes back its one line.
    INT_S16 one_line = selector->message->height, list_top = list->y;
    for (bool long_text : {true, false}) {
      selector->message->set_text(long_text ? "Pick the folder into which the application and all of its many parts "
                                              "are to be installed, or make a new one for it."
                                            : "Pick the folder to install into.", false);
      selector->refresh = 1;
      settle_effects();
      INT_S16 more = (INT_S16)(selector->message->height - one_line);
      EXPECT_EQ(more > 0 && selector->message->wraps_in_its_box(), long_text) << size;
      EXPECT_EQ(list->y, list_top + more);
      EXPECT_LE(list->y + list->height, selector->name_field->y - selector->new_folder_button->height / 2 + 1);
      EXPECT_EQ((list->inner_height() + list->style.y_spacing) % (list->default_row_height + list->style.y_spacing), 0);
    }
    // A message longer still is shown whole: the list gives up its height down to three rows, which show
    // from its first, and the dialog grows, within the screen.
    std::string longest;
    for (int i = 0; i < 6; i++) longest += "Pick the folder into which the application is to be installed. ";
    INT_S16 dialog_height = selector->height;
    selector->message->set_text(longest.c_str(), false);
    selector->refresh = 1;
    settle_effects();
    WM_SCRIPT* message = selector->message;
    TEXT_LINE lines[TEXT_MAX_LINES];
    INT_S32 count = layout_text_in_box(draw_target, message->width - message->left_gap - message->right_gap,
                                       TEXT_MAX_LINES, message->font_id, message->font_x_size, message->font_y_size,
                                       longest.c_str(), lines);
    EXPECT_GT(count, 3) << size;
    EXPECT_GE(message->height - message->top_gap - message->bottom_gap, count * message->font_y_size) << size;
    EXPECT_EQ(list->inner_height(), 3 * (list->default_row_height + list->style.y_spacing) - list->style.y_spacing)
        << size;
    EXPECT_EQ(list->first_visible_row, 0);
    EXPECT_GT(selector->height, dialog_height) << size;
    EXPECT_GE(selector->y, 0);
    EXPECT_LE(selector->y + selector->height, 480);
    EXPECT_LE(list->y + list->height, selector->name_field->y - selector->new_folder_button->height / 2 + 1);
  }
  // Buttons whose labels need more than their row: half a button's height apart and inside the client,
  // the longest label shortened, "OK" whole.
  WM_TEST_SCREEN screen(640, 480, 1);
  WM_STYLE_SET plain;
  WM_FILE_SELECT selector(-1, -1, 400, 300, &plain, &plain, &plain, &plain, &plain, true, owner_event, 5, "OK",
                          "Abbrechen", "Einen neuen Ordner anlegen", nullptr, nullptr);
  WM_BUTTON* row[3] = {selector.new_folder_button, selector.cancel_button, selector.ok_button};
  INT_S16 half = (INT_S16)(row[0]->height / 2);
  EXPECT_EQ(row[0]->x, selector.client->x + half);
  for (int i = 0; i < 2; i++) EXPECT_LE(row[i]->x + row[i]->width + half, row[i + 1]->x);
  EXPECT_EQ(row[2]->x + row[2]->width + half, selector.client->x + selector.client->width);
  EXPECT_LT(row[0]->width, needs(row[0], row[0]->label));
  EXPECT_EQ(row[2]->width, needs(row[2], "OK"));
  stop_font_system();
}

bool place_of(const std::string& output, const std::string& name, int* x, int* y) {
  size_t at = output.find(name + " ");
  if (at == std::string::npos) return false;
  return std::sscanf(output.c_str() + at + name.size() + 1, "%d %d", x, y) == 2;
}

// The selector with the default styles in a real window: Tab shows where the focus goes, the location
// menu opens and closes, a new folder is named (on a German keyboard, its dead keys too, and the marks
// that a dead key and a space type) through the clipboard and chosen.
TEST(FileSelectScenario, NewFolderTypedCutPastedAndChosen) {
  WINDOW_SCENARIO scenario("file-select-window");
  START_WINDOW_SCENARIO(scenario);
  std::string start = scenario.scratch() + "start";
  FOLDER start_folder;
  ASSERT_TRUE(start_folder.set_if_folder(scenario.scratch().c_str()));
  ASSERT_TRUE(start_folder.enter("start", true));
  ASSERT_TRUE(scenario.keyboard_layout("de"));
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("file_select_probe"), {start_folder.path},
                             {"LC_ALL=C.UTF-8"}));
  ASSERT_TRUE(scenario.wait_for_window("File selector"));
  ASSERT_TRUE(scenario.wait_for_output("ready\n"));
  int x, y;
  // Tab moves the focus from control to control, and each move shows.
  WINDOW_CAPTURE untabbed, tabbed, tabbed_again;
  ASSERT_TRUE(scenario.wait_until_still(&untabbed));
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.wait_until_still(&tabbed));
  ASSERT_TRUE(scenario.key("shift+Tab"));
  ASSERT_TRUE(scenario.wait_until_still(&tabbed_again));
  EXPECT_NE(untabbed.pixels, tabbed.pixels);
  EXPECT_NE(tabbed.pixels, tabbed_again.pixels);
  // The location menu opens its drop-down and Escape closes it again.
  ASSERT_TRUE(place_of(scenario.output(), "location", &x, &y));
  ASSERT_TRUE(scenario.click(x, y));
  ASSERT_TRUE(scenario.wait_for_output("menu shown\n"));
  ASSERT_TRUE(scenario.key_now("Escape"));  // a tap
  ASSERT_TRUE(scenario.wait_for_output("menu hidden\n"));
  // New Folder: a name typed, cut and pasted back through the clipboard, then OK.
  ASSERT_TRUE(place_of(scenario.output(), "new_folder", &x, &y));
  ASSERT_TRUE(scenario.click(x, y));
  ASSERT_TRUE(scenario.wait_for_output("dialog ready\n"));
  ASSERT_TRUE(place_of(scenario.output(), "dialog_edit", &x, &y));
  ASSERT_TRUE(scenario.click(x, y));
  ASSERT_TRUE(scenario.wait_for_output("edit clicked\n"));
  ASSERT_TRUE(scenario.type("Grüße caf"));
  for (const char* key : {"dead_acute", "e", "space", "shift+dead_grave", "a", "dead_circumflex", "space",
                          "shift+dead_grave", "space"})
    ASSERT_TRUE(scenario.key(key));
  ASSERT_TRUE(scenario.key("ctrl+a"));
  ASSERT_TRUE(scenario.key("ctrl+x"));
  ASSERT_TRUE(scenario.key("ctrl+v"));
  ASSERT_TRUE(place_of(scenario.output(), "dialog_ok", &x, &y));
  ASSERT_TRUE(scenario.click(x, y));
  ASSERT_TRUE(scenario.wait_for_output("dialog closed"));
  FOLDER made = start_folder;
  EXPECT_TRUE(made.enter("Gr\xFC\xDF" "e caf\xE9 \xE0^`")) << scenario.output();  // stored as UTF-8 natively, UTF-16 on Windows
  // OK: the selection is the new folder.
  ASSERT_TRUE(place_of(scenario.output(), "ok", &x, &y));
  ASSERT_TRUE(scenario.click(x, y));
  ASSERT_TRUE(scenario.wait_for_output(std::string("selected ") + start_folder.path)) << scenario.output();
  EXPECT_EQ(scenario.wait_for_exit(), 0);
}


// A person's double click on the parent row and on a folder's row, in the real window: each goes one
// level, the second click landing on the row that the first one opened.
TEST(FileSelectScenario, ADoubleClickOnARowGoesOneLevel) {
  WINDOW_SCENARIO scenario("file-select-double-click");
  START_WINDOW_SCENARIO(scenario);
  FOLDER start, a, b, c;
  ASSERT_TRUE(start.set_if_folder(scenario.scratch().c_str()));
  ASSERT_TRUE(start.enter("start", true));
  a = start;
  ASSERT_TRUE(a.enter("a", true));
  b = a;
  ASSERT_TRUE(b.enter("b", true));
  c = b;
  ASSERT_TRUE(c.enter("c", true));
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("file_select_probe"), {b.path}));
  ASSERT_TRUE(scenario.wait_for_window("File selector"));
  ASSERT_TRUE(scenario.move(2, 2));  // the pointer off the rows, where the display put it
  ASSERT_TRUE(scenario.wait_for_output("ready\n"));
  int x, y;
  ASSERT_TRUE(place_of(scenario.output(), "parent_row", &x, &y));
  ASSERT_TRUE(scenario.double_click(x, y));
  ASSERT_TRUE(scenario.wait_for_output(std::string("folder ") + a.path + "\n"));
  ASSERT_TRUE(scenario.wait_until_still());
  EXPECT_EQ(scenario.output().find(std::string("folder ") + start.path + "\n"), std::string::npos) << scenario.output();
  ASSERT_TRUE(place_of(scenario.output(), "first_row", &x, &y));
  ASSERT_TRUE(scenario.double_click(x, y));
  ASSERT_TRUE(scenario.wait_for_output(std::string("folder ") + b.path + "\n"));
  ASSERT_TRUE(scenario.wait_until_still());
  EXPECT_EQ(scenario.output().find(std::string("folder ") + c.path + "\n"), std::string::npos) << scenario.output();
  ASSERT_TRUE(place_of(scenario.output(), "ok", &x, &y));
  ASSERT_TRUE(scenario.click(x, y));
  ASSERT_TRUE(scenario.wait_for_output(std::string("selected ") + b.path + "\n")) << scenario.output();
  EXPECT_EQ(scenario.wait_for_exit(), 0);
}

}  // namespace
