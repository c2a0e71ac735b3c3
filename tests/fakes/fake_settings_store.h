#pragma once

#include <optional>
#include <string>

#include "platform/settings_store.h"

namespace meterstation::testing {

class FakeSettingsStore : public SettingsStore {
 public:
  std::optional<RunSettings> stored;
  int saves = 0;
  std::optional<std::string> failure;

  Result save(const RunSettings& settings) override {
    if (failure) return Result::failure(*failure);
    stored = settings;
    ++saves;
    return Result::success();
  }
  std::optional<RunSettings> load() override { return stored; }
};

}  // namespace meterstation::testing
