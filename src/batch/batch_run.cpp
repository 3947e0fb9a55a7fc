#include "batch_run.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "file_job.h"
#include "input_scan.h"
#include "kit/exit_status.h"
#include "kit/file_names.h"
#include "kit/guarded_run.h"
#include "kit/html_card.h"
#include "kit/refusal_words.h"
#include "kit/text_escape.h"
#include "kit/text_format.h"
#include "os/files.h"
#include "os/folders.h"
#include "os/process.h"
#include "os/relative_path.h"

namespace {

std::atomic<int> stop_signal{0};

void note_stop(int signal_number) {
  stop_signal.store(signal_number);
}

constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);

// A file or a folder that failed: the failure, and where it stands in the run's order.
struct path_failure {
  std::size_t order;  // where the file stands among the inputs; scan failures first
  std::string path;
  failure failed;
  compaction_advice advice = compaction_advice::none;
};

struct translated_card {
  std::size_t order;  // the input's index
  html_card card;     // its title and sources filled in when the page is made
};

// What the workers share. Failures are printed as they happen and kept for the end.
struct batch_state {
  const batch_options* options = nullptr;
  const input_scan* scan = nullptr;
  bool progress = false;  // a progress line on standard error, which is a terminal
  bool escapes = false;   // ... that shows escape sequences
  std::string drawn;      // the progress line on it, as written; empty once wiped
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::atomic<std::size_t> failed{0};
  std::atomic<std::size_t> too_many_colours{0};  // of the failed
  std::mutex lock;                               // standard error, failures, workers_left
  std::condition_variable finished;
  std::vector<path_failure> failures;
  std::vector<translated_card> cards;  // for the report page
  unsigned workers_left = 0;
  // Each input's output, relative to OUT_DIR, and for an input whose output another's
  // already is, that input's index.
  std::vector<std::string> outputs;
  std::vector<std::size_t> clashes_with;
};

constexpr std::size_t NO_CLASH = static_cast<std::size_t>(-1);

std::string output_name(const batch_options& options, const std::string& relative) {
  switch (options.format) {
    case output_format::as_input:
      return relative;
    case output_format::bmp:
      return with_extension(relative, ".bmp");
    case output_format::png:
      return with_extension(relative, ".png");
  }
  return relative;
}

// Two inputs may share an output only where --output-format gives a.bmp and a.png one
// name: the first keeps it and the other fails, so that no output replaces another.
void name_outputs(batch_state& state) {
  const input_scan& scan = *state.scan;
  std::map<std::string, std::size_t> taken;
  state.outputs.resize(scan.inputs.size());
  state.clashes_with.assign(scan.inputs.size(), NO_CLASH);
  for (std::size_t i = 0; i < scan.inputs.size(); ++i) {
    state.outputs[i] = output_name(*state.options, scan.inputs[i]);
    auto [at, fresh] = taken.emplace(name_key(state.outputs[i]), i);
    if (!fresh) state.clashes_with[i] = at->second;
  }
}

// Called with the state's lock held, as every write to standard error is.
void print_progress(batch_state& state) {
  std::string line =
      format("\r%zu of %zu files, %zu failed", state.done.load(), state.scan->inputs.size(),
             state.failed.load() + state.scan->failures.size());
  // The counts only grow, so a line never leaves the tail of a longer one. Progress is
  // for the eye: a standard error that cannot take it never stops the files.
  (void)write_text(standard_stream::error, line);
  state.drawn = std::move(line);
}

// Wipes the progress line, where there is one, for the text that follows.
std::string clear_progress(batch_state& state) {
  if (!state.progress || state.drawn.empty()) return "";
  std::string text = clearing_text(state.escapes, state.drawn);
  state.drawn.clear();
  return text;
}

void report_failure(batch_state& state, path_failure failure) {
  std::lock_guard<std::mutex> hold(state.lock);
  // Kept for the summary and the exit status whether or not standard error takes it.
  (void)write_text(standard_stream::error, clear_progress(state) + visible_name(failure.path) +
                                               ": " + failure.failed.text + "\n");
  state.failures.push_back(std::move(failure));
}

// A worker's exception would end the whole process: it fails only its file.
or_failure<job_details> run_file_job_caught(const file_job& job, job_buffers& buffers) {
  return guarded([&] { return run_file_job(job, buffers); },
                 [&buffers](const std::string& reason) {
                   buffers = job_buffers{};
                   return fail_with<job_details>(BATCH_SOME_FAILED, reason);
                 });
}

void translate_one(batch_state& state, job_buffers& buffers, std::size_t index) {
  const input_scan& scan = *state.scan;
  const batch_options& options = *state.options;
  const std::string& relative = scan.inputs[index];
  file_job job{path_under(options.in_dir, relative),
               path_under(options.out_dir, state.outputs[index]), &options.parameters,
               &scan.identities};
  job.for_report = !options.report_page.empty();
  std::size_t clash = state.clashes_with[index];
  or_failure<job_details> outcome =
      clash == NO_CLASH
          ? run_file_job_caught(job, buffers)
          : fail_with<job_details>(BATCH_SOME_FAILED,
                                   "the output " + job.output_path + " is also that of " +
                                       path_under(options.in_dir, scan.inputs[clash]));
  if (!outcome.ok()) {
    state.failed.fetch_add(1);
    if (outcome.value.too_many_colours) state.too_many_colours.fetch_add(1);
    report_failure(state, {scan.failures.size() + index, job.input_path, *outcome.failed,
                           outcome.value.compaction.advice});
  } else if (job.for_report) {
    std::lock_guard<std::mutex> hold(state.lock);
    state.cards.push_back({index, outcome.value.card});
  }
  state.done.fetch_add(1);
}

// Workers take runs of neighbouring files, which mostly share a folder, so that two
// workers seldom wait on each other's updates of one folder.
constexpr std::size_t FILES_PER_TAKE = 32;

void work(batch_state& state) {
  job_buffers buffers;
  std::size_t count = state.scan->inputs.size();
  for (bool stopped = false; !stopped;) {
    std::size_t first = state.next.fetch_add(FILES_PER_TAKE);
    std::size_t end = std::min(count, first + FILES_PER_TAKE);
    stopped = first >= count;
    for (std::size_t index = first; index < end && !stopped; ++index) {
      stopped = stop_signal.load() != 0;
      if (!stopped) translate_one(state, buffers, index);
    }
  }
  std::lock_guard<std::mutex> hold(state.lock);
  if (--state.workers_left == 0) state.finished.notify_all();
}

// Starts up to `wanted` workers; fewer when the system refuses a thread. Each is counted
// before it starts, as each lowers the count when done.
std::vector<std::thread> start_workers(batch_state& state, unsigned wanted) {
  std::vector<std::thread> pool;
  for (unsigned i = 0; i < wanted; ++i) {
    {
      std::lock_guard<std::mutex> hold(state.lock);
      ++state.workers_left;
    }
    try {
      pool.emplace_back(work, std::ref(state));
    } catch (const std::system_error&) {
      std::lock_guard<std::mutex> hold(state.lock);
      --state.workers_left;
      break;
    }
  }
  return pool;
}

// Runs the workers; on a terminal, redraws the progress line until they are done. With
// no thread to be had, the files are translated here, one by one.
void translate_all(batch_state& state) {
  std::size_t count = state.scan->inputs.size();
  unsigned wanted = static_cast<unsigned>(std::min<std::size_t>(state.options->jobs, count));
  std::vector<std::thread> pool = start_workers(state, wanted);
  if (pool.empty() && wanted > 0) {
    state.workers_left = 1;
    work(state);
    return;
  }
  {
    std::unique_lock<std::mutex> hold(state.lock);
    // Drawn at least once: workers that finish before this thread takes the lock still
    // leave the count on the terminal for a moment, as every run does.
    if (state.progress) print_progress(state);
    while (state.progress && state.workers_left != 0) {
      state.finished.wait_for(hold, PROGRESS_INTERVAL);
      print_progress(state);
    }
    (void)write_text(standard_stream::error, clear_progress(state));  // as the progress itself
  }
  for (std::thread& worker : pool) worker.join();
}

std::string json_summary(const batch_state& state, std::size_t translated,
                         std::size_t not_started) {
  std::string text = "{\"translated\": " + std::to_string(translated) +
                     ", \"failed\": " + std::to_string(state.failures.size());
  if (stop_signal.load() != 0) text += ", \"not_started\": " + std::to_string(not_started);
  if (std::size_t crowded = state.too_many_colours.load(); crowded != 0)
    text += ", \"too_many_colours\": " + std::to_string(crowded) +
            ", \"too_many_colours_advice\": " + json_string(too_many_colours_advice());
  text += ", \"failures\": [";
  for (std::size_t i = 0; i < state.failures.size(); ++i) {
    const path_failure& failure = state.failures[i];
    text += i == 0 ? "\n  {" : ",\n  {";
    text += json_path_member(failure.path) + ", \"reason\": " + json_string(failure.failed.text);
    if (failure.advice != compaction_advice::none)
      text +=
          ", \"compact_palette\": \"" + std::string(compaction_advice_name(failure.advice)) + "\"";
    text += "}";
  }
  return text + "\n]}\n";
}

std::string summary_line(const batch_state& state, std::size_t translated,
                         std::size_t not_started) {
  std::string text = std::to_string(translated) + " translated, " +
                     std::to_string(state.failures.size()) + " failed";
  if (stop_signal.load() != 0) text += ", " + std::to_string(not_started) + " not started";
  text += "\n";
  // The advice once, for every file with more colours than a palette holds.
  if (std::size_t crowded = state.too_many_colours.load(); crowded != 0)
    text += std::to_string(crowded) + (crowded == 1 ? " file has" : " files have") +
            " too many colours. " + too_many_colours_advice() + "\n";
  return text;
}

// The page's card for one translated file; links go from the page's folder to the files.
std::string card_section(const batch_state& state, const translated_card& entry,
                         palette_strips& strips) {
  const batch_options& options = *state.options;
  const std::string& relative = state.scan->inputs[entry.order];
  std::string page_folder = parent_of(options.report_page);
  html_card card = entry.card;
  card.title = visible_name(relative);
  card.input_src = file_link(relative_path_from(page_folder, path_under(options.in_dir, relative)));
  card.output_src = file_link(
      relative_path_from(page_folder, path_under(options.out_dir, state.outputs[entry.order])));
  return html_card_section(card, strips);
}

std::string report_page(const batch_state& state, std::size_t translated) {
  const batch_options& options = *state.options;
  std::string text = html_page_start("palette-batch report");
  text += "<h1>palette-batch report</h1>\n<p><code>" +
          html_escape(visible_name(options.command_line)) + "</code></p>\n";
  text += html_parameters_line(options.parameters);
  text += format("<p>%zu translated, %zu failed", translated, state.failures.size());
  if (!state.failures.empty()) text += " &mdash; <a href=\"#failures\">the failures</a>";
  text += "</p>\n";
  palette_strips strips;
  for (const translated_card& card : state.cards) text += card_section(state, card, strips);
  if (!state.failures.empty()) {
    text += "<section id=\"failures\" class=\"failed\">\n<h2>Failed</h2>\n<ul>\n";
    for (const path_failure& failure : state.failures) {
      text += "<li><code>" + html_escape(visible_name(failure.path)) +
              "</code>: " + html_escape(failure.failed.text) + "</li>\n";
    }
    text += "</ul>\n</section>\n";
  }
  return text + html_page_end(strips);
}

// Written as every output is.
step_failure write_report_page(const batch_state& state, std::size_t translated) {
  const std::string& page = state.options->report_page;
  std::string text = report_page(state, translated);
  step_failure written = write_through_temporary(page, text.data(), text.size(), nullptr, 0);
  if (!written) return std::nullopt;
  return failure{BATCH_SOME_FAILED, "palette-batch: cannot write the report " + visible_name(page) +
                                        ": " + written->text + "\n"};
}

or_failure<int> report_end(batch_state& state) {
  std::sort(state.failures.begin(), state.failures.end(),
            [](const path_failure& a, const path_failure& b) { return a.order < b.order; });
  std::sort(state.cards.begin(), state.cards.end(),
            [](const translated_card& a, const translated_card& b) { return a.order < b.order; });
  std::size_t attempted = state.done.load();
  std::size_t translated = attempted - state.failed.load();
  std::size_t not_started = state.scan->inputs.size() - attempted;
  std::string text = state.options->json ? json_summary(state, translated, not_started)
                                         : summary_line(state, translated, not_started);
  os_status written = write_text(standard_stream::output, text);
  if (!written.ok())
    return fail_with<int>(BATCH_SOME_FAILED, "palette-batch: cannot write the summary: " +
                                                 written.error->reason + "\n");
  bool all = state.failures.empty() && not_started == 0;
  if (!state.options->report_page.empty()) {
    if (step_failure page = write_report_page(state, translated)) return {0, page};
  }
  return {all ? BATCH_ALL_TRANSLATED : BATCH_SOME_FAILED, std::nullopt};
}

// The output folder is made when missing; it may lie inside the input folder, which the
// scan then leaves out, but it may not be the input folder. Gives the output folder's
// identity.
or_failure<file_identity> check_folders(const batch_options& options) {
  os_result<file_identity> in = identity_of_folder(options.in_dir);
  if (!in.ok())
    return {{}, usage_failure("IN_DIR " + visible_name(options.in_dir) + " is not a folder")};
  os_status made = make_folders(options.out_dir);
  if (!made.ok())
    return {{},
            usage_failure("cannot create OUT_DIR " + visible_name(options.out_dir) + ": " +
                          made.error->reason)};
  os_result<file_identity> out = identity_of_folder(options.out_dir);
  if (!out.ok())
    return {{}, usage_failure("OUT_DIR " + visible_name(options.out_dir) + " is not a folder")};
  if (out.value == in.value)
    return {{}, usage_failure("OUT_DIR is IN_DIR: the outputs would replace the inputs")};
  return {out.value, std::nullopt};
}

// A page that is an input file under another name (a hard link) would replace it.
step_failure check_report_page(const batch_options& options, const input_scan& scan) {
  const std::string& page = options.report_page;
  if (page.empty()) return std::nullopt;
  os_result<file_identity> identity = identity_of_path(page);
  if (identity.ok() && scan.identities.count(identity.value) != 0)
    return usage_failure("the report page " + visible_name(page) + " is an input file");
  return std::nullopt;
}

}  // namespace

void stop_batch_on_signals() {
  on_stop_request(note_stop);
}

std::string clearing_text(bool escapes, const std::string& drawn) {
  if (escapes) return "\r\x1b[K";
  std::size_t shown = drawn.empty() ? 0 : drawn.size() - 1;
  std::string text(shown + 2, ' ');
  text.front() = '\r';
  text.back() = '\r';
  return text;
}

int batch_stop_signal() {
  return stop_signal.load();
}

or_failure<int> run_batch(const batch_options& options) {
  or_failure<file_identity> out = check_folders(options);
  if (!out.ok()) return {0, out.failed};
  input_scan scan = scan_inputs(options.in_dir, out.value);
  if (step_failure refused = check_report_page(options, scan)) return {0, refused};
  batch_state state;
  state.options = &options;
  state.scan = &scan;
  state.progress = is_terminal(standard_stream::error);
  state.escapes = state.progress && console_takes_colour(standard_stream::error);
  name_outputs(state);
  for (std::size_t i = 0; i < scan.failures.size(); ++i)
    report_failure(state, {i, scan.failures[i].path, scan.failures[i].failed});
  translate_all(state);
  return report_end(state);
}
