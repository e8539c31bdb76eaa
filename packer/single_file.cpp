// The packer's single-file installer: a copy of the installer program with the package attached after
// its executable image, in the attached-data format (attached_data.h).
#include <cerrno>
#include <cstring>

#include "attached_data.h"
#include "files.h"
#include "host.h"
#include "packer_private.h"

namespace package_builder {

bool build_installer(const std::string& description_path, const std::string& program_path,
                     const std::string& output_path, std::string* error, INT_S32 block_size,
                     std::vector<std::string>* notes, PACK_SUMMARY* summary, const std::string& earlier_package) {
  fs::path program(program_path), output(output_path);
  fs::path output_folder = output.parent_path().empty() ? fs::path(".") : output.parent_path();
  FOLDER source, target;
  std::string program_name = system_name(program.filename().u8string());
  std::string output_name = system_name(output.filename().u8string());
  std::vector<INT_U8> head;
  FILE* input = host_folder(&source, program.parent_path().empty() ? "." : program.parent_path().string())
                    ? open_file(&source, program_name.c_str(), "rb")
                    : nullptr;
  if (input) {
    head.resize((size_t)stream_size(input));
    if (std::fread(head.data(), 1, head.size(), input) != head.size()) head.clear();
    close_file(input);
  }
  if (head.empty()) {
    *error = program_path + ": cannot be read";
    return false;
  }
  if (!(head.size() > 4 && std::memcmp(head.data(), "\x7F" "ELF", 4) == 0) &&
      !(head.size() > 2 && head[0] == 'M' && head[1] == 'Z')) {
    *error = program_path + ": is no installer program (neither an ELF nor a Windows executable image)";
    return false;
  }
  // Any other program would not find the package attached to it.
  if (!carries_installer_mark(head)) {
    *error = program_path + ": is no installer program: only the installer (build/installer, installer.exe) "
                            "reads a package attached to it";
    return false;
  }
  if (locate_attached_data(&source, program_name.c_str(), nullptr)) {
    *error = program_path + ": carries installation data already; give the installer program itself";
    return false;
  }
  if (!host_folder(&target, output_folder.string())) {
    *error = output_path + ": the folder " + output_folder.string() + " does not exist";
    return false;
  }
  std::error_code code;
  if (fs::is_directory(output, code)) {
    *error = output_path + ": is a folder";
    return false;
  }
  std::vector<std::string> ignored;
  if (!notes) notes = &ignored;
  // Windows starts a file as a program only under a name that says it is one.
  std::string extension = windows_name_key(output.extension().u8string());
  if (head[0] == 'M' && extension != ".EXE")
    notes->push_back(output_path + ": the installer is a Windows program, and its name does not end in \".exe\": "
                                   "Windows starts it as a program only under such a name");
  // The package is made beside the installer under a temporary name, then read back record by record.
  char package_name[TEMPORARY_NAME_SIZE], written_name[TEMPORARY_NAME_SIZE];
  next_temporary_name(package_name);
  PACK_SUMMARY made;
  PACKER packer(description_path, notes, &made);
  packer.output = output_path;
  packer.program = program_path;
  packer.earlier = earlier_package;
  if (!packer.build((output_folder / package_name).string(), block_size, error)) return false;
  FILE* package = open_file(&target, package_name, "rb");
  errno = 0;
  TEMPORARY_NOTE written_note;
  hold_end_requests();
  FILE* file = package ? create_next_temporary_file(&target, written_name) : nullptr;
  int error_number = errno;
  if (file) written_note.note(&target, written_name);
  release_end_requests();
  bool ok = file != nullptr;
  std::string cause;
  std::vector<INT_U8> bytes;
  std::vector<INT_U8> chunk(ATTACHED_CHUNK);
  if (ok) {
    bytes = head;
    put_attached_head(&bytes, ATTACHED_CHUNK, true);
    // The records carry the package's body: the copy gets its byte-order byte from the installer.
    ok = std::fgetc(package) == 0;
  }
  while (ok) {
    errno = 0;
    ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    error_number = errno;
    bytes.clear();
    size_t count = ok ? std::fread(chunk.data(), 1, chunk.size(), package) : 0;
    if (!count) break;
    if (end_requested()) {
      ok = false;
      cause = "not made: the packer was asked to end";
      break;
    }
    ok = put_attached_record(&bytes, chunk.data(), count, true);
  }
  if (ok && std::ferror(package)) ok = false;
  close_file(package);
  delete_file(&target, package_name);
  packer.package_note.forget();
  if (file) {
    // As for the package: written out first when it takes another's place, no name after a request to
    // end, the look and the name with requests held back.
    std::error_code exists_code;
    if (ok && fs::exists(fs::symlink_status(output, exists_code)) && !write_out_file(file)) {
      ok = false;
      error_number = errno;
    }
    hold_end_requests();
    if (ok && end_requested()) {
      ok = false;
      cause = "not made: the packer was asked to end";
    }
    errno = 0;
    bool closed = ok && close_file_as(file, &target, written_name, output_name.c_str());
    if (ok && !closed) error_number = errno;
    if (!ok) close_file(file);
    ok = ok && closed;
    if (!ok) delete_file(&target, written_name);
    written_note.forget();
    release_end_requests();
  }
  if (!ok) {
    if (cause.empty()) cause = "cannot be written: " + write_cause(output_folder, error_number);
    *error = output_path + ": " + cause;
    return false;
  }
  mark_program_file(&target, output_name.c_str(), true);
  if (summary) {
    *summary = made;
    summary->path = output_path;
    summary->size = fs::file_size(output, code);
  }
  return true;
}

}  // namespace package_builder
