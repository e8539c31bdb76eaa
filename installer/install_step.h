// What the files of the install step share: the log's name and its writer (install_log.cpp), the path
// texts of the installation's files, the destination walk (destination_walk.cpp), what is known of the
// names where files land (install_locations.cpp) and the removal of what killed runs left
// (install_step.cpp).
#pragma once
#include <string>

#include "database.h"
#include "engine.h"

inline constexpr char INSTALL_LOG_NAME[] = "install_log.txt";

// Writes a step's line group to the install log (install_log.cpp): a new log with create, else the log
// this installation created, complete on disk after each group.
void write_log(INSTALL_STATE* state, const std::string& step_lines, bool create);
// What became of a log that failed (log_failed): where it is, the system's cause and whether the
// installation has a log that a later update or check can rely on. Empty when the log did not fail.
std::string log_failure_text(const INSTALL_STATE& state);
// The installation ends: lines kept for a log that could not be created get a last try; the log closes.
void finish_log(INSTALL_STATE* state);
// A whole package's installation is what later updates go over: the latest log of the update folder
// below its log folder ("patch", where updates made from it log) is of an update of what was installed
// before, and is kept under the first free numbered name there, said in the log and to the observer,
// so that no update takes it for the latest. Nothing is done where there is none or it cannot be moved.
void keep_latest_update_log(DATABASE* database);

// The folder's path, the host's separator and the name, however long.
std::string full_path(const FOLDER& folder, const char* name);
// The system form of a destination when it is given and the user chose system paths, else the plain one.
const char* choose_path(const DATABASE* database, const char* plain, const char* system);
// Whether a text has a ".." component (between separators of either kind).
bool has_parent_step(const char* text);

// The words of an update that finds no installation of its own to update at the location (a path of
// this computer), as automatic mode says them before it begins and the install step once it holds the
// folder.
std::string update_refusal(const std::string& location, const EARLIER_LOG& earlier);

// A folder that this installation did not make may hold what a killed run left of the files it was
// writing there: those go before the first file of this one (each folder is looked through once).
void remove_leftovers(INSTALL_STATE* state, FOLDER* folder);

// The folder at a path of this computer (the install folder, a destination), made with every folder on
// the way that is missing, each as the walk reaches it; made tells whether this installation made it.
// False, the system's cause kept, when a folder cannot be made or no folder of the path exists; the walk
// never goes above the path's root (a drive's, a share's), and a root that is not there is kept as
// unreached_root.
bool make_destination_folder(INSTALL_STATE* state, const std::string& path, FOLDER* folder, bool* made);
// Why the walk of a destination failed, for a message (size bytes): the system's words, after the root
// that could not be reached when it was that.
void describe_walk_failure(const INSTALL_STATE* state, char* out, size_t size);
// A folder from a destination text: the path that destination_path_text names for the install folder,
// made where it is missing. A text with a path variable this program does not know names no folder. A
// text set before in this installation gives the folder it gave then, without asking the host again.
// made (when given) tells whether the folder did not exist until this installation made it. The folder
// is left as it was when the text leads to none.
bool set_destination(DATABASE* database, FOLDER* folder, const char* text, bool* made = nullptr);
// Why a folder text of the installation names no folder (set_destination failed, the system's cause of
// the last file failure at hand): it begins with no path variable, or one this program does not know,
// or the folder (named as a path of this computer) cannot be created, or its drive is not there.
std::string folder_failure(DATABASE* database, const char* text);

// A file name from the installation data stays inside its destination folder: it has no ".." component,
// does not begin with a separator and names no drive, in the name that both hosts see.
bool name_stays_inside(const char* name);
// Whether the host holds the name, and each folder of the path text after its path variable, as they
// are written: where it drops a final dot or space or takes a name for a device, two names would land on
// one file, or on none the installation knows.
bool held_as_written(const char* path_text, const char* name);
// The key of a plain name (ASCII without '~' and the run mark) into key: its letters as capitals and
// without a final dot or space, under which a file system that ignores case (or drops those) takes two
// names for one. False for a name of another kind, which such a file system may take for another in ways
// not told here (a short name with '~', characters beyond ASCII).
bool plain_name_key(const char* name, std::string* key);
// What is known of the names in the folder (made: this installation made it): a folder that was there
// is listed when it is first asked about.
INSTALL_STATE::FOLDER_NAMES* names_of_folder(INSTALL_STATE* state, FOLDER& folder, bool made);
// Whether the name (plain: its key is state->name_key) of a folder may lead to something and is to be
// looked up.
bool may_lead_somewhere(const INSTALL_STATE* state, const INSTALL_STATE::FOLDER_NAMES& names, bool plain);
// A name (plain: its key is state->name_key) was put into the folder.
void note_name_put(INSTALL_STATE* state, INSTALL_STATE::FOLDER_NAMES* names, bool plain);
// The name a file of the installation is installed under.
const char* destination_name(const INSTALLATION_FILE* file);
// Why the file of that name in the folder may not be installed although its name is allowed: it would
// land on the install log (at the log's place by the host's comparison, or on the log under another
// name), or on a file that this installation installed before under another name (by its number, which
// the entry now at the name has: 0 for none), which it names. An earlier file of the same folder path
// and name is the same destination, over which the overwrite rules decide. Empty when it may be
// installed.
std::string lands_on_other(DATABASE* database, const FOLDER& folder, const char* name, INT_U64 number);
