#pragma once
// Finds palette-batch's inputs: every file under a folder whose name ends in .bmp or .png
// in any case, in every folder below it.

#include <set>
#include <string>
#include <vector>

#include "kit/failure.h"
#include "os/file_identity.h"

// A folder the scan could not read, and the failure it counts as for the run.
struct scan_failure {
  std::string path;
  failure failed;
};

struct input_scan {
  std::vector<std::string> inputs;     // relative to the scanned folder, sorted
  std::set<file_identity> identities;  // of every input, to keep outputs off them
  std::vector<scan_failure> failures;  // folders that could not be read
};

// folder/relative, without doubling a slash the folder ends with.
std::string path_under(const std::string& folder, const std::string& relative);

// Scans root; the folder `skipped` (the output folder, when inside root) is left out.
// Links to files are followed, links to folders are not, so a scan always ends.
input_scan scan_inputs(const std::string& root, file_identity skipped);
