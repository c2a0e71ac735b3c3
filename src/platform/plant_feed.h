#pragma once

#include <string>
#include <vector>

namespace meterstation {

// One message for the site's broker: its topic and its JSON, both UTF-8.
struct PlantMessage {
  std::string topic;
  std::string payload;
};

// Something the feed has to tell the operator: how the broker is doing,
// or a problem, which is also said on standard error.
struct PlantNotice {
  std::string text;
  bool problem = false;
};

// Where the station hands every reading, set and alarm for the site's
// broker. Nothing here waits: the feed keeps and sends the messages beside
// the event thread, and raises Plant_Notice on it when it has news.
class PlantFeed {
 public:
  virtual ~PlantFeed() = default;

  // The station took up a working directory; its status and the client it
  // connects as go by this id (in UTF-8) from now on.
  virtual void stationChosen(const std::string& stationId) = 0;
  virtual void publish(PlantMessage message) = 0;
  // The news since the last call, oldest first.
  virtual std::vector<PlantNotice> takeNotices() = 0;
  // A text no other run of any station shares, for the messages' ids.
  virtual std::string runId() = 0;
};

}  // namespace meterstation
