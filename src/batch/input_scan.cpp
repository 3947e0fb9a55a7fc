#include "input_scan.h"

#include "kit/exit_status.h"
#include "kit/file_names.h"

#include <algorithm>
#include <string_view>

#include "os/files.h"
#include "os/folders.h"

namespace {

void scan_folder(const std::string& root, const std::string& relative, const file_identity& skipped,
                 input_scan& scan);

// One entry of a folder: a file to translate, a folder to enter, or nothing.
void scan_entry(const std::string& root, const std::string& relative, folder_entry entry,
                const file_identity& skipped, input_scan& scan) {
  bool wanted = has_image_extension(relative);
  if (is_resolved(entry)) {
    if (!wanted) return;
  } else if (!classify_entry(path_under(root, relative), entry).ok()) {
    // Gone since the listing: nothing to translate.
    return;
  }
  if (entry.kind == entry_kind::folder) {
    if (entry.identity != skipped) scan_folder(root, relative, skipped, scan);
    return;
  }
  // A link counts as the file it names; a dangling one fails when it is opened.
  if (!wanted || entry.kind == entry_kind::linked_folder) return;
  scan.inputs.push_back(relative);
  scan.identities.insert(entry.identity);
}

void scan_folder(const std::string& root, const std::string& relative, const file_identity& skipped,
                 input_scan& scan) {
  std::string path = path_under(root, relative);
  // The listing is read whole before going deeper, so only one folder is open at a time.
  os_result<std::vector<folder_entry>> listed = list_folder(path);
  if (!listed.ok()) {
    scan.failures.push_back(
        {path, failure{BATCH_SOME_FAILED, "cannot read the folder: " + listed.error->reason}});
    return;
  }
  for (folder_entry& entry : listed.value) {
    std::string name = path_under(relative, entry.name);
    scan_entry(root, name, std::move(entry), skipped, scan);
  }
}

}  // namespace

std::string path_under(const std::string& folder, const std::string& relative) {
  if (relative.empty()) return folder;
  return joined_path(folder, relative);
}

input_scan scan_inputs(const std::string& root, file_identity skipped) {
  input_scan scan;
  scan_folder(root, "", skipped, scan);
  std::sort(scan.inputs.begin(), scan.inputs.end());
  return scan;
}
