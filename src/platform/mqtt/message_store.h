#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/host.h"
#include "platform/plant_feed.h"

namespace meterstation {

// The messages for the site's broker, kept on disk one file each from the
// moment they are handed over until the broker has taken them, so that a
// crash, a kill or a power cut loses none.
//
// Each run of a station keeps its messages under a name of its own,
// "<seconds since 1970>-<pid>", as "<run>-<number>.msg" in one directory,
// and holds the lock "<run>.lock" while it runs. A run takes up the
// messages of the runs that are gone, whose locks come free, before its
// own: the names sort as the runs started, the numbers as the messages
// came.
class MessageStore {
 public:
  MessageStore(Files& files, Host& host, std::string dir, std::string run);
  MessageStore(const MessageStore&) = delete;
  MessageStore& operator=(const MessageStore&) = delete;

  // Claims this run's lock and those of the runs that are gone. The paths
  // of their messages, oldest first; none when even this run's lock cannot
  // be had, and then nothing is kept on disk.
  std::vector<std::string> open();
  bool opened() const { return opened_; }

  // Writes the message to a file of its own, synced; its path on success.
  Result keep(const PlantMessage& message, std::string& path);
  // The message in a kept file; nothing when it cannot be read whole.
  std::optional<PlantMessage> load(const std::string& path, std::string& error);
  // The broker has the message: its file goes. A run taken up goes with
  // its last message, lock and all.
  Result drop(const std::string& path);
  // Lets this run's lock go, and removes it when nothing of the run waits.
  void close();

  const std::string& dir() const { return dir_; }

 private:
  std::string pathOf(const std::string& name) const { return dir_ + "/" + name; }
  void adopt(const std::string& run, const std::vector<std::string>& names,
             std::vector<std::string>& paths);
  void release(const std::string& run);

  Files& files_;
  Host& host_;
  std::string dir_;
  std::string run_;
  bool opened_ = false;
  std::uint64_t next_ = 1;
  std::map<std::string, std::size_t> waiting_;  // run -> its files still there
};

// The file's text: the topic, a line feed, the payload.
std::string storedMessageText(const PlantMessage& message);
std::optional<PlantMessage> storedMessageOf(const std::string& text);

}  // namespace meterstation
