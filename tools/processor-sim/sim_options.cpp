#include "processor-sim/sim_options.h"

#include <charconv>
#include <functional>
#include <optional>

namespace meterstation::sim {

namespace {

constexpr std::int64_t kLongestMs = 3'600'000;
constexpr std::int64_t kLargestCount = 1'000'000'000;

ParsedOptions failure(std::string error) {
  ParsedOptions parsed;
  parsed.ok = false;
  parsed.error = std::move(error);
  return parsed;
}

// Whole decimal digits only: a sign, spaces or a fraction are typing
// mistakes worth telling the operator about.
std::optional<std::uint64_t> wholeNumber(const std::string& text) {
  if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

struct NumberOption {
  const char* name;
  std::int64_t min;
  std::int64_t max;
  std::function<void(SimOptions&, std::int64_t)> store;
};

const std::vector<NumberOption>& numberOptions() {
  static const std::vector<NumberOption> options = {
      {"--silence", 0, kLongestMs,
       [](SimOptions& o, std::int64_t v) { o.silenceMs = static_cast<int>(v); }},
      {"--sets", 1, kLargestCount,
       [](SimOptions& o, std::int64_t v) { o.sets = static_cast<int>(v); }},
      {"--garbage-every", 1, kLargestCount,
       [](SimOptions& o, std::int64_t v) { o.faults.garbageEvery = static_cast<int>(v); }},
      {"--nul-every", 1, kLargestCount,
       [](SimOptions& o, std::int64_t v) { o.faults.nulEvery = static_cast<int>(v); }},
      {"--short-every", 1, kLargestCount,
       [](SimOptions& o, std::int64_t v) { o.faults.shortEvery = static_cast<int>(v); }},
      {"--duplicate-every", 1, kLargestCount,
       [](SimOptions& o, std::int64_t v) { o.faults.duplicateEvery = static_cast<int>(v); }},
      {"--hangup-every", 1, kLargestCount,
       [](SimOptions& o, std::int64_t v) { o.faults.hangupEvery = static_cast<int>(v); }},
      {"--hangup-ms", 0, kLongestMs,
       [](SimOptions& o, std::int64_t v) { o.hangupMs = static_cast<int>(v); }},
  };
  return options;
}

const NumberOption* findNumberOption(const std::string& name) {
  for (const NumberOption& option : numberOptions())
    if (name == option.name) return &option;
  return nullptr;
}

std::string* pathOption(SimOptions& options, const std::string& name) {
  if (name == "--link") return &options.linkPath;
  if (name == "--device") return &options.devicePath;
  if (name == "--log") return &options.logPath;
  return nullptr;
}

bool* switchOption(SimOptions& options, const std::string& name) {
  if (name == "--shuffle") return &options.shuffle;
  if (name == "--fast") return &options.fast;
  if (name == "--quiet") return &options.quiet;
  return nullptr;
}

// Options that are each fine alone but cannot go together.
std::optional<std::string> combinationProblem(const SimOptions& options, bool hangupMsGiven) {
  if (!options.devicePath.empty() && !options.linkPath.empty())
    return "--link names a pseudo-terminal and cannot go with --device";
  if (!options.devicePath.empty() && options.faults.hangupEvery > 0)
    return "--hangup-every replaces a pseudo-terminal and cannot go with --device";
  if (hangupMsGiven && options.faults.hangupEvery == 0) return "--hangup-ms needs --hangup-every";
  return std::nullopt;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  SimOptions& options = parsed.options;
  bool hangupMsGiven = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    if (name == "--help" || name == "-h") {
      options.help = true;
      return parsed;
    }
    if (name.rfind("--", 0) != 0 || name.size() == 2)
      return failure("unexpected argument \"" + name + "\"; every option starts with --");
    std::optional<std::string> value;
    if (const std::size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }

    if (bool* flag = switchOption(options, name)) {
      if (value) return failure(name + " takes no value");
      *flag = true;
      continue;
    }

    const NumberOption* number = findNumberOption(name);
    std::string* path = pathOption(options, name);
    const bool seed = name == "--seed";
    if (number == nullptr && path == nullptr && !seed) return failure("unknown option " + name);
    if (!value) {
      if (i + 1 == args.size()) return failure(name + " needs a value");
      value = args[++i];
    }

    if (path != nullptr) {
      if (value->empty()) return failure(name + " needs a path");
      *path = *value;
      continue;
    }
    const std::optional<std::uint64_t> whole = wholeNumber(*value);
    if (!whole) return failure(name + " takes a whole number, not \"" + *value + "\"");
    if (seed) {
      options.seed = *whole;
      continue;
    }
    if (*whole < static_cast<std::uint64_t>(number->min) ||
        *whole > static_cast<std::uint64_t>(number->max))
      return failure(name + " must be from " + std::to_string(number->min) + " to " +
                     std::to_string(number->max) + ", not " + *value);
    number->store(options, static_cast<std::int64_t>(*whole));
    if (name == "--hangup-ms") hangupMsGiven = true;
  }

  if (const std::optional<std::string> problem = combinationProblem(options, hangupMsGiven))
    return failure(*problem);
  return parsed;
}

}  // namespace meterstation::sim
