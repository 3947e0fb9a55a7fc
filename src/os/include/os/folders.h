#pragma once
// Reading folders: what palette-batch's scan asks of the file system.

#include <string>
#include <vector>

#include "os/file_identity.h"
#include "os/os_result.h"

enum class entry_kind {
  regular_file,  // known from the listing alone
  folder,        // a real folder, not a link to one
  linked_folder,
  other,  // a link to a file, a dangling link, a device ...: opened as a file, if at all
};

struct folder_entry {
  std::string name;
  entry_kind kind = entry_kind::other;
  file_identity identity;  // of the file a link names; of the link where it names nothing
};

// The entries of a folder but "." and "..", in the system's order. Only regular files are
// classified from the listing; the others are left unresolved, for classify_entry.
os_result<std::vector<folder_entry>> list_folder(const std::string& path);

// Whether the listing already told what the entry is.
bool is_resolved(const folder_entry& entry);

// Asks the file system what the entry at path is: a dangling link is `other`, with no
// identity. Fails when the entry has gone.
os_status classify_entry(const std::string& path, folder_entry& entry);
