// The host layer's files, folders and drives: file operations on a folder and a name, file information,
// directory scans, the system folders behind the path variables and the logical drives. Windows uses
// the real calls; Linux stands in with '/' separators, "/" as the one drive and XDG folders.
#pragma once
#include <cstdio>
#include "types.h"
#include "folder.h"

// What the host reports of one file.
struct FILE_INFO {
  INT_U8 is_folder;         // non-zero for a directory
  INT_U8 hidden_or_system;  // 1 when hidden or system (Linux: the name begins with '.')
  INT_U16 mode;             // 0x100 read-only, else 0x180; plus 0x20 when the archive attribute is set
  INT_U32 size;             // low 32 bits of the size
  INT_S64 time;             // last write, seconds since 1970-01-01 UTC, whole: negative before 1970
};

// The least file time: no file was last written before it (close_file_as_if_free keeps every file).
const INT_S64 EARLIEST_FILE_TIME = -0x7FFFFFFFFFFFFFFFLL - 1;

// Mode bits of FILE_INFO and set_file_attributes.
#define FILE_INFO_READ_ONLY 0x100
#define FILE_INFO_WRITABLE 0x80
#define FILE_INFO_ARCHIVE 0x20

// One entry of a running scan; it is a FILE_INFO, so format_byte_count and format_file_time take it. A
// link to a folder (on Windows any reparse point that is a folder: a junction, a mount point) has
// is_folder 0, so that whatever walks the tree never goes through it; is_linked_folder marks it for
// listings, which show it as the folder the file system lists.
struct SCAN_ENTRY : FILE_INFO {
  FOLDER* folder;    // the folder being listed
  const char* name;  // points into the scan: valid until the next read or the close
  INT_U8 is_linked_folder;
};

// A running directory listing (host-specific contents).
struct DIRECTORY_SCAN;

// Match modes of a scan's pattern.
enum SCAN_MATCH_MODE {
  SCAN_ENDS_WITH = 0,
  SCAN_ENDS_WITH_NO_CASE = 1,
  SCAN_BEGINS_WITH = 2,
  SCAN_BEGINS_WITH_NO_CASE = 3,
  SCAN_CONTAINS = 4,
  SCAN_CONTAINS_NO_CASE = 5,
  SCAN_EQUALS = 6,
  SCAN_EQUALS_NO_CASE = 7
};

// The host's path separator.
#ifdef _WIN32
#define PATH_SEPARATOR '\\'
#else
#define PATH_SEPARATOR '/'
#endif

// File operations. A folder path and a name that do not fit in 2048 bytes fail the operation.
bool delete_file(const FOLDER* folder, const char* name);
// With empty_first the folder's contents are removed first (that must succeed).
bool remove_folder(const FOLDER* folder, const char* sub_folder, INT_U8 empty_first);
// Renames or moves a file (also between folders of one drive).
bool rename_file(const FOLDER* from, const char* from_name, const FOLDER* to, const char* to_name);
// Enters the sub-folder name of the folder, making it first where it is missing (one look-up where it
// is: no look before the making); made tells whether this call made it (not whether a folder of that
// name, under any spelling the host takes for it, was there already). False, the system's cause kept for
// describe_file_failure, when it can be neither made nor entered (a file has the name).
bool enter_new_folder(FOLDER* folder, const char* name, bool* made);
// Copies a file, replacing an existing target.
bool copy_file(const FOLDER* from, const char* from_name, const FOLDER* to, const char* to_name);
// fopen of the file. A missing file asked for exactly "r+b" or "r+" is created ("wb" / "w"); an
// existing one is never recreated. A name beginning with '.' opened for writing is made hidden. Only a
// regular file is opened for reading or update: a folder, device or pipe gives null at once, never a
// wait (and on Windows only a disk file is opened at all, never a device name such as "CON").
FILE* open_file(const FOLDER* folder, const char* name, const char* mode);
// The size in bytes of the file open on the stream, in 64 bits (files past 2 or 4 GiB included); 0
// when it cannot be had.
INT_U64 stream_size(FILE* file);
// fclose; false when the stream had a read or write error, or closing could not write back what it
// still held. Null is closed at once.
bool close_file(FILE* file);
// Hands the bytes to the system in one write through the file open on the stream, after what the
// stream still holds: a process killed at any moment leaves all of them in the file or none of them.
// A stream opened in text mode (Windows) writes each LF as CR LF, as its own writes do. False when they
// could not all be written.
bool write_stream_whole(FILE* file, const void* bytes, size_t count);
// Hands what the stream holds to the system and waits until the file's bytes are on its disk: a file
// that then takes the name of another needs no writing out while it does (some file systems write it
// out in the rename), and a crash after it keeps the one or the other. False when it cannot be done.
bool write_out_file(FILE* file);
// Creates the file and opens it for writing ("wb", or "w" with text) only when nothing of that name
// exists yet: no file, folder or link, dangling or not, is ever opened or followed. Null when the name
// is taken or the file cannot be made. Others may read the file while it is open, and rename_open_file
// can give it another name meanwhile. On Linux the stream holds a lock on the file while it is open,
// which every process on the machine sees, in whatever process namespace it runs (where the file
// system keeps locks; elsewhere it goes without). A failed attempt leaves no file behind.
FILE* create_new_file(const FOLDER* folder, const char* name, bool text = false);
// create_new_file ("wb") for a temporary that close_file_as gives its place: others may read it while
// it is open, but neither write it nor take it away.
FILE* create_temporary_file(const FOLDER* folder, const char* name);
// Moves the file from_name of the folder to to_name in the same folder, replacing whatever is there
// as the table below says: a file is never written through, a link never followed. A name beginning
// with '.' is made hidden, as for open_file. False when it cannot be done.
bool replace_file(const FOLDER* folder, const char* from_name, const char* to_name);
// replace_file for a file that create_new_file made as from_name and that stays open on the stream:
// what the stream held is written first, and everything written through the stream afterwards goes to
// the file under its new name, whatever is done to that name meanwhile. Without replace it is the rename
// that never replaces (rename_file): where something has the name by then, it stays. False when it
// cannot be done (the file keeps its name).
bool rename_open_file(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name,
                      bool replace = true);
// Closes a stream that create_temporary_file opened on from_name of the folder and, only when
// everything written through it reached the file and the close succeeded, moves the file to to_name
// as replace_file does. Until it has the name the file stays its writer's: on Linux its lock stays
// held, on Windows its name, which holds the running process's number, keeps other runs from it.
// False when a write or the close failed or the name cannot be given (from_name may then still exist).
bool close_file_as(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name);
// How close_file_as_if_free ended: the file has the name, or it failed as close_file_as fails, or what
// had the name by then stays.
enum CLOSE_AS_RESULT { CLOSE_AS_FAILED, CLOSE_AS_PLACED, CLOSE_AS_NAME_KEPT };
// close_file_as for a file that takes a name only where nothing newer has it: where nothing has the name
// the file takes it in one step with that look, so that nothing put there meanwhile is ever replaced.
// Where something has it by then, it is replaced (as close_file_as replaces) only when get_file_info
// cannot read it (a link that leads nowhere) or it was last written before older_than (times compared
// whole: EARLIEST_FILE_TIME keeps every file); otherwise it stays and the temporary goes,
// CLOSE_AS_NAME_KEPT. Until the file has the name or is gone it stays its writer's, as for close_file_as.
//
// What has the name, by the overwrite rules that name these calls: 0 "always" (close_file_as,
// replace_file), 1 "when absent or older" (older_than the package's time) and 2 "only when absent"
// (EARLIEST_FILE_TIME). Alike on both hosts unless a host is named:
//   at the name                 rule 0                rule 1                    rule 2
//   nothing, a dangling link    placed                placed                    placed
//   a file                      replaced              replaced if older, else   kept
//                                                     kept
//   a read-only file            replaced (Windows takes the mark off the        kept
//                               file it replaces, as the system refuses it)
//   a file another program      Linux: replaced (the holder keeps reading the   kept
//   holds open                  file it opened); Windows: fails, "in use",
//                               whatever the holder shares (also deletion)
//   a folder (on Windows also   fails: a file never   fails if older, else      kept
//   a link to a folder)         replaces a folder     kept
//   a link                      the link replaced as itself, never what it leads to; rule 1 judges
//                               the time of what it leads to
// The step that looks and takes a free name fails the file when it fails for any cause but a taken
// name: it never falls through to a rename that replaces. Linux: where the system refuses the rename
// that never replaces (EPERM of a filter of system calls, ENOSYS of an older kernel, EINVAL of a file
// system without it), a second name (a hard link), which cannot be made where something has the name,
// stands in for it.
CLOSE_AS_RESULT close_file_as_if_free(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name,
                                      INT_S64 older_than);

// Temporary files that stand beside the file whose place they take when whole ("~velk", the process's
// number and a count in hexadecimal, ".tmp"): the name tells a later run that a file is one of them
// and which process made it, so that what a killed run left is found and removed, and what a running
// one writes is left alone. Whether the writer still runs is told by what it holds while it writes (its
// lock on Linux, its open handle on Windows); the process number is only a hint, as a process of
// another process namespace cannot be seen by its number. On a file system without locks the hint is
// all there is.
const int TEMPORARY_NAME_SIZE = 32;
// A name of that kind, a new one on every call (TEMPORARY_NAME_SIZE bytes). Its count begins at a
// number drawn for the run, so that a name that a killed run of the same process number left (under
// Wine the first process of a server always has the same one) is rarely given again; a name is this
// run's own only when this run gave it out and did not find it taken when it tried to make it.
void next_temporary_name(char* out);
// A name that next_temporary_name gave out is not this run's own: it was found taken when its file was
// to be made, or its file stays after a failure whose clean-up could not remove it. remove_stale_temporaries
// takes it when no writer holds it. Whoever makes files of such names other than through
// create_next_temporary_file says so here.
void note_temporary_taken(const char* name);
// create_temporary_file under a new name of that kind, which goes into out (TEMPORARY_NAME_SIZE bytes).
// Null when no file can be made.
FILE* create_next_temporary_file(const FOLDER* folder, char* out);
// Removes from the folder every temporary of that kind that no running process writes: a file whose
// writer holds it, one of this run's own, or one whose process number names another running process,
// stays. Entries are removed as they are (a link as a link, never what it leads to), folders never. Each
// name removed goes to removed (when given) with user and a null kept_cause; each that no process
// writes but that cannot be removed (under Wine a link to a folder, which it cannot remove alone) stays
// and goes there with the cause. The number removed.
typedef void (*TEMPORARY_REMOVED)(const FOLDER* folder, const char* name, const char* kept_cause, void* user);
INT_S32 remove_stale_temporaries(FOLDER* folder, TEMPORARY_REMOVED removed = nullptr, void* user = nullptr);
// The file (or folder) exists; a null name gives false. The third argument is not used.
bool file_exists(const FOLDER* folder, const char* name, INT_U8 unused = 1);
// The name is a plain file, not a folder, link, device or pipe (a file the program may remove again).
bool is_regular_file(const FOLDER* folder, const char* name);
// Fills info; false when the file is missing.
bool get_file_info(const FOLDER* folder, const char* name, FILE_INFO* info);
// What the name leads to (a link followed, as opening it would): nothing, a file, a folder, a pipe, a
// device, another kind (a socket), or unknown when the system does not say (no permission to look, a
// loop of links). Asking never opens it.
enum FILE_KIND { FILE_KIND_NONE, FILE_KIND_FILE, FILE_KIND_FOLDER, FILE_KIND_PIPE, FILE_KIND_DEVICE, FILE_KIND_OTHER,
                 FILE_KIND_UNKNOWN };
FILE_KIND get_file_kind(const FOLDER* folder, const char* name);
// The size of a file for display ("%.1lf %s" with b, k, M or G), in a static buffer that the next
// call overwrites.
const char* format_byte_count(const FILE_INFO* info);
// Read-only unless mode has 0x80; archive when it has 0x20.
bool set_file_attributes(const FOLDER* folder, const char* name, INT_U32 mode);
// Lets a file run where the host keeps a mark for that (Linux: an execute bit for each read bit): with
// always, or when its first bytes (head, count of them; the caller that wrote the file has them) begin
// as a program does ("#!" or an ELF image). A file that is no program is not touched. A link is never
// followed. Windows keeps no such mark: nothing happens there. False when the file cannot be marked.
bool mark_program_file(const FOLDER* folder, const char* name, bool always, const INT_U8* head = nullptr,
                       INT_U32 count = 0);

// A hold on a folder that one process at a time has: whoever installs into a folder holds it, so that
// another run of the installer finds it held and installs nothing there. It is a file of the folder,
// FOLDER_HOLD_NAME, that only a process able to write the folder can make, open for writing and hold:
// a lock on it (Linux) or its handle that no other writer may share (Windows), so that no process that
// could not install there itself holds it. It is keyed by the folder itself, not by the spelling of its
// path (a link to it, other letter case, another mount of it); it holds the holder's process number, so
// that a run that finds it held can name the holder. The system ends the hold with the process (a
// killed run holds nothing); the file goes with the hold (on Linux one that a killed run left stays,
// held by no one, until the next hold of the folder takes its place).
//
// On Linux only a user who could remove the installation's files anyway keeps a run out: root, the
// folder's owner, this process's user and, where the folder is not sticky, whoever may write it. The
// hold is always a file that this process made anew: what it finds at the name that no such user's
// running process locks (a killed run's file, a file of a user who could not remove the installation's
// files, also a link, pipe or file of other names of such a user) gives its place to one of this
// process's own, where this process may remove it. Whose lock a file has is the system's word (its list
// of locks), never the number a file holds: that names a holder only where the locking process confirms
// it, or where this user wrote it.
inline constexpr char FOLDER_HOLD_NAME[] = "velk-hold.lock";
struct FOLDER_HOLD;
// Why a folder could not be held.
enum FOLDER_HOLD_REFUSAL {
  FOLDER_HOLD_FREE,        // not refused: held, or the host cannot hold it (the folder cannot be written,
                           // its file system takes no lock) and the caller goes on without
  FOLDER_HOLD_HELD,        // another process holds it
  FOLDER_HOLD_NAME_TAKEN,  // what has the hold's name is no hold: a link, a folder, a pipe or device, a file
                           // with other names (hard links)
  FOLDER_HOLD_NOT_TAKEN,   // Linux: another user's file (or a folder of a user who could not remove the
                           // installation's files) has the name, and this process may not take its place
};
struct FOLDER_HOLDER {
  FOLDER_HOLD_REFUSAL refusal = FOLDER_HOLD_FREE;
  // FOLDER_HOLD_HELD: the process that holds it, when it is known as an installation's (its hold names it
  // and it runs; 0 otherwise: a hold that names no running process is no installation's), and whether it
  // is stopped (Linux); user: the holder's user where it is another than this process's (its name, or
  // its number where it has none), else empty.
  INT_U32 process = 0;
  bool stopped = false;
  char user[40] = "";
  // FOLDER_HOLD_NAME_TAKEN and FOLDER_HOLD_NOT_TAKEN: what has the name, the end of a sentence after it
  // ("is a link"); for FOLDER_HOLD_NOT_TAKEN with whose it is and who may remove it.
  char cause[320] = "";
};
// The hold, or null: holder then says whether another process holds the folder, something else has
// the hold's name, or the host cannot hold it. On Windows the hold belongs to the calling process. A
// refused hold leaves nothing of this process's behind.
FOLDER_HOLD* hold_folder(const FOLDER* folder, FOLDER_HOLDER* holder);
// Ends the hold and removes its file, only while the name is still its own (null: nothing to end).
void release_folder(FOLDER_HOLD* hold);

// Directory scans. The folder must outlive the scan. A null pattern passes everything; with
// match_folders 0 sub-folders pass whatever the pattern. "." and ".." never come back.
DIRECTORY_SCAN* open_directory_scan(FOLDER* folder, const char* pattern, INT_U8 include_hidden,
                                    INT_U32 match_mode, INT_U8 match_folders);
bool read_directory_scan(DIRECTORY_SCAN* scan, SCAN_ENTRY* entry);
void close_directory_scan(DIRECTORY_SCAN* scan);

// System folder kinds of get_system_folder.
enum SYSTEM_FOLDER_KIND {
  SYSTEM_FOLDER_PROGRAM = 0,        // the folder of the program's own file
  SYSTEM_FOLDER_PROGRAMS = 1,       // program files (Linux: ~/.local/opt)
  SYSTEM_FOLDER_INSTALL_DATA = 2,   // program files (Linux: $XDG_DATA_HOME, default ~/.local/share)
  SYSTEM_FOLDER_COMMON_DATA = 3,    // shared application data (Linux: $XDG_DATA_HOME)
  SYSTEM_FOLDER_USER_DATA = 4,      // the user's application data (Linux: $XDG_STATE_HOME, ~/.local/state)
  SYSTEM_FOLDER_USER_PREFS = 5,     // the user's documents (Linux: $XDG_CONFIG_HOME, default ~/.config)
  SYSTEM_FOLDER_TEMP = 6            // the run's private temporary folder (get_private_temp_folder)
};

// out = the system folder of that kind with the application sub-folder below it (kinds 1 to 6); a null
// application name means the program file's name without ".exe". create makes what is missing. On
// failure out is unchanged when the system folder itself is missing.
bool get_system_folder(FOLDER* out, INT_S32 kind, const char* application_name, INT_U8 create);
// Where that folder lies, or will lie once made, as a path text into out (FOLDER_PATH_SIZE bytes), kinds
// 1 to 5: nothing on the disk is looked at or made. An empty application name names the system folder
// itself. False when the system names no such folder.
bool get_system_folder_text(INT_S32 kind, const char* application_name, char* out);
// The run's private temporary folder, which "$TEMP" names: made on its first use as a new folder that
// only this user can enter, under parent (null: the system's temporary folder, $TMPDIR or /tmp on
// Linux, the user's temporary folder on Windows), with the application's name and a part no one can
// guess or take first; the same folder for the rest of the run. False when it cannot be made (an
// attempt that fails leaves no folder behind).
bool get_private_temp_folder(FOLDER* out, const FOLDER* parent);
// Why the run's private temporary folder could not be made at its last tries: each folder tried and
// the system's cause ("in \"/tmp\": Read-only file system"), "; " between them, into out (size bytes);
// empty once it is made.
void describe_private_folder_failure(char* out, size_t size);
// Removes the run's private temporary folder and everything in it (links in it are removed as links,
// never followed). It runs at the end of the run, also at a fatal end and at the process's exit.
// The folder is held while the run lives (a lock on Linux, an open file on Windows): when the folder
// is made, the private folders that ended runs of the same program left beside it (a second request
// to end them, a kill) are removed, and those whose run still lives, or that hold no such lock (where
// the file system has none), are left alone. Nothing of such a folder is followed through a link or
// into another file system, and its lock file goes last: a folder that cannot be emptied stays with
// it, for a later run to try again, and the report set below names it.
void remove_temporary_folder();
// Where the removals of private temporary folders say what they leave in place (an ended run's folder
// that cannot be emptied, or the run's own at its end): its path and the cause. Null, the default:
// nothing is said.
typedef void (*FOLDER_KEPT)(const char* path_text, const char* cause);
void set_folder_kept_report(FOLDER_KEPT report);
// Files that an immediate end of the process (a second request to end it, watch_end_requests) removes
// on its way out where that is safe: a large copy in the private temporary folder. On Linux always;
// on Windows only a file that no one has open (what stays goes with its folder at the next run). At
// most IMMEDIATE_END_FILES at a time; false when no place is left or the path is too long.
const int IMMEDIATE_END_FILES = 4;
bool remove_at_immediate_end(const FOLDER* folder, const char* name);
// The file is no longer removed at an immediate end (it was removed, or it stays).
void keep_at_immediate_end(const FOLDER* folder, const char* name);
// The entry of that name is a link (a symbolic link or another reparse point), whatever it points to.
bool is_link(const FOLDER* folder, const char* name);
// The two names are one and the same existing file (by its identity on its volume, whatever the names
// or links that lead to it).
bool same_file(const FOLDER* folder, const char* name, const FOLDER* other_folder, const char* other_name);
// A number of the entry of that name itself (a link as the link, never followed), the same under every
// name that leads to it (a hard link, another spelling that the file system takes for it, such as other
// letter case where it ignores case, a path through a linked folder): its number on its volume. Entries
// of two volumes may share one (same_entry tells them apart). 0 when there is no such entry.
INT_U64 get_file_number(const FOLDER* folder, const char* name);
// The number of the file open on the stream, as get_file_number gives it under the file's name; 0 when
// it cannot be had.
INT_U64 stream_file_number(FILE* file);
// The two names are one and the same entry (a link as itself, not what it leads to), by its identity on
// its volume.
bool same_entry(const FOLDER* folder, const char* name, const FOLDER* other_folder, const char* other_name);
// Whether this host holds a file or folder of that name (one component) as it is written. Linux holds
// every name. Windows drops a dot or a space at a name's end, opens a device for a device name ("CON",
// "aux.txt", "COM1"), takes ':' for a stream's and refuses control characters and "*<>?| in names.
bool host_holds_name(const char* name);

// Why the last file operation failed, in the system's own words (Linux: the C library's text of errno;
// Windows: the system's message of its last error, in the user's language, or the host's own words
// for an error of writing or making files that the system has no message for), into out (size bytes),
// on one line without a closing full stop; empty when the system recorded no failure since
// forget_file_failure.
void forget_file_failure();
void describe_file_failure(char* out, size_t size);
// The system's record of the last failure, which describe_file_failure describes, kept across the
// clean-up after a failure (closing, removing), whose calls may change it.
INT_U32 file_failure_code();
void restore_file_failure(INT_U32 code);

// Logical drives: Windows lists them with floppy drives A and B last; Linux has the one root "/".
INT_S32 get_drive_count();
// The root text of drive index (static buffer); null past the end.
const char* get_drive_root_text(INT_S16 index);
// The index of the folder's drive; 0 when it is on none of them.
INT_S16 get_drive_index(const FOLDER* folder);
// Index of the drive's icon ("disk" 0 ... "disk-windows" 9); this host always answers 0.
INT_U8 get_disk_kind(const FOLDER* folder);
