#pragma once
// Acting on files through handles, never through a name checked earlier.
//
// The installer and the uninstaller may run elevated, while the folders they write and delete in
// (the install folder, the user's Programs and Desktop folders) can be written by the same user's
// unelevated programs. Such a program can swap a folder for a junction or symbolic link between
// a check and the act (an opportunistic lock times it exactly), or leave a hard link to a file
// elsewhere, so that a write or a delete meant for the install folder lands anywhere on the disk.
// So every folder on the way to an entry is opened without following a link, refused if it is
// one, found where its name says (its final path, taken from the handle), and held open for as
// long as anything below it is acted on: on Windows without delete sharing, so that it cannot be
// renamed or replaced meanwhile; on POSIX (the native build, where symbolic links stand in for
// junctions) as a descriptor that everything below is opened relative to.

#include <cstdio>
#include <string>

#include "platform/fs.h"

namespace platform {

// What stood in the way of an act on an entry.
enum class EntryFault {
  kNone,
  kNotFound,    // nothing of that name: gone already
  kLink,        // a link, junction or other reparse point where a plain folder or file belongs
  kMoved,       // the handle's final path is not where the name put it
  kFolder,      // a folder where a file belongs
  kNotFolder,   // a file where a folder belongs
  kOtherNames,  // a read-only file with further names: its attributes are not ours to change
  kError,       // the system refused; the error code says why
};

// What an act expects to find.
enum class EntryKind { kAny, kFile, kFolder };

class CHeldFolder {
 public:
  CHeldFolder() = default;
  ~CHeldFolder() { Close(); }
  CHeldFolder(CHeldFolder&& other) noexcept;
  CHeldFolder& operator=(CHeldFolder&& other) noexcept;
  CHeldFolder(const CHeldFolder&) = delete;
  CHeldFolder& operator=(const CHeldFolder&) = delete;

  // A folder the user or the system chose, links on the way to it followed. With noLinks, it
  // counts only when nothing on the way is a link: its final path must read as path does.
  bool OpenBase(const char* path, bool noLinks, EntryFault* fault);
  // The folder name (one component) inside parent, refused when it is a link or not found where
  // its name puts it.
  bool OpenChild(const CHeldFolder& parent, const char* name, EntryFault* fault);
  // As OpenChild, making the folder first when it is missing.
  bool CreateChild(const CHeldFolder& parent, const char* name, EntryFault* fault);
  // Lets the folder go and removes it, when it is empty and still where it was found.
  EntryFault RemoveSelf(ErrorCode* error);
  void Close();

  bool IsOpen() const;
  // The path it was opened by, and where the system says it is.
  const std::string& Path() const { return m_path; }
  const std::string& FinalPath() const { return m_final; }

 private:
  friend EntryFault RemoveEntry(const CHeldFolder&, const char*, EntryKind, ErrorCode*);
  friend FILE* OpenReplacingIn(const CHeldFolder&, const char*, EntryFault*);
  bool Finish(const std::string& path, const std::string& expected, EntryFault* fault);

#ifdef _WIN32
  void* m_handle = nullptr;
#else
  int m_fd = -1;
#endif
  std::string m_path;
  std::string m_final;
};

// Removes name inside parent without following it: a file's name (its bytes stay for its other
// names), a link itself, or an empty folder. A read-only file with one name loses the attribute
// first; one with further names keeps it, and only the name goes where the system can do that
// (kOtherNames where it cannot). kNotFound means it was gone already. A fault's code goes into
// *error.
EntryFault RemoveEntry(const CHeldFolder& parent, const char* name, EntryKind kind,
                       ErrorCode* error);

// A new, empty file name inside parent, open for writing ("wb"), with normal attributes. Whatever
// had the name before is never written into: a file (read-only, hidden or system too) or a link
// loses the name first, so that a hard or symbolic link leads nowhere; a folder of the name is
// refused (kFolder), as is one not found where the name puts it (kMoved), and a read-only file
// with further names where the system cannot take its name alone (kOtherNames).
FILE* OpenReplacingIn(const CHeldFolder& parent, const char* name, EntryFault* fault);

// As OpenReplacingIn, by path: a new, empty file for writing in place of whatever had the name,
// never written into through it. The create comes first: no lookup is spent on a new name.
FILE* OpenReplacing(const char* path);

// An existing file of ours opened for reading and writing ("r+b"), by path, only when it is a
// plain file with this one name: not through a link, and never a file that also has a name
// elsewhere, as a hard link made meanwhile would give it. A read-only one is refused too.
FILE* OpenOwnForUpdate(const char* path);
// The same for reading ("rb"), read-only or not.
FILE* OpenOwnForReading(const char* path);

#ifdef _WIN32
// For tests under Wine, which makes no junctions: whether what lies at a final path is taken for
// a reparse point. None by default.
using LinkForTestingFn = bool (*)(const std::string& finalPath);
void SetLinkForTesting(LinkForTestingFn fn);
#endif

// Paths as the system's final-path query spells them compare alike: letters in any case.
bool SameFinalPath(const std::string& a, const std::string& b);

}  // namespace platform
