#pragma once

#include <string>
#include <vector>

#include "platform/plant_feed.h"

namespace meterstation::testing {

// The site's broker feed in memory: what the station hands over, in order.
class FakePlantFeed : public PlantFeed {
 public:
  std::vector<std::string> stations;
  std::vector<PlantMessage> published;
  std::vector<PlantNotice> pending;

  void stationChosen(const std::string& stationId) override { stations.push_back(stationId); }
  void publish(PlantMessage message) override { published.push_back(std::move(message)); }
  std::vector<PlantNotice> takeNotices() override {
    std::vector<PlantNotice> taken;
    taken.swap(pending);
    return taken;
  }
  std::string runId() override { return "run"; }

  std::vector<std::string> topics() const {
    std::vector<std::string> out;
    for (const PlantMessage& m : published) out.push_back(m.topic);
    return out;
  }
};

}  // namespace meterstation::testing
