#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fakes/fake_files.h"
#include "platform/mqtt/broker_link.h"

namespace meterstation::testing {

// Links that connect nowhere: the test says when one comes up, fails,
// goes down or has its messages acknowledged, and reads what was sent.
class FakeLinks {
 public:
  struct Sent {
    int link;
    std::string topic;
    std::string payload;
    bool retained;
    std::uint64_t tag;
  };

  LinkFactory factory() {
    return [this](const LinkSettings& settings, int id, LinkEvents& events) {
      std::lock_guard<std::mutex> lock(mutex_);
      made_.push_back({settings, id, &events});
      return std::unique_ptr<BrokerLink>(new Link(*this, id));
    };
  }

  std::size_t made() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return made_.size();
  }
  LinkSettings settings(std::size_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return made_.at(index).settings;
  }
  // The newest link's number.
  int last() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return made_.empty() ? 0 : made_.back().id;
  }
  std::vector<Sent> sent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
  }
  // The payloads sent on one link, statuses left out.
  std::vector<std::string> payloads(int link) const {
    std::vector<std::string> out;
    for (const Sent& s : sent()) {
      if (s.link == link && !s.retained) out.push_back(s.payload);
    }
    return out;
  }

  void up() { events().linkUp(last()); }
  void down() { events().linkDown(last(), "gone"); }
  void fail(bool refusedLogin) { events().linkFailed(last(), "no", refusedLogin); }
  // The broker acknowledges the first `count` messages the newest link has
  // sent (all of them by default).
  void ack(std::size_t count = SIZE_MAX) {
    for (const Sent& s : sent()) {
      if (count == 0) break;
      if (s.link != last() || s.tag == 0) continue;
      events().delivered(s.link, s.tag);
      --count;
    }
  }

 private:
  struct Made {
    LinkSettings settings;
    int id;
    LinkEvents* events;
  };
  class Link : public BrokerLink {
   public:
    Link(FakeLinks& owner, int id) : owner_(owner), id_(id) {}
    Result connect() override { return Result::success(); }
    Result publish(const std::string& topic, const std::string& payload, bool retained,
                   std::uint64_t tag) override {
      std::lock_guard<std::mutex> lock(owner_.mutex_);
      owner_.sent_.push_back({id_, topic, payload, retained, tag});
      return Result::success();
    }
    void disconnect(int) override {}

   private:
    FakeLinks& owner_;
    int id_;
  };

  LinkEvents& events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return *made_.back().events;
  }

  mutable std::mutex mutex_;
  std::vector<Made> made_;
  std::vector<Sent> sent_;
};

// The fake files for two threads: the feed's keeper writes while its
// sender reads back.
class LockedFiles : public Files {
 public:
  FakeFiles inner;

  template <typename Call>
  auto call(Call c) {
    std::lock_guard<std::mutex> lock(mutex_);
    return c();
  }

  Result replace(const std::string& p, const std::string& b) override {
    return call([&] { return inner.replace(p, b); });
  }
  Result append(const std::string& p, const std::string& b) override {
    return call([&] { return inner.append(p, b); });
  }
  ReadResult read(const std::string& p) override {
    return call([&] { return inner.read(p); });
  }
  ReadResult readRange(const std::string& p, std::uint64_t o, std::uint64_t l) override {
    return call([&] { return inner.readRange(p, o, l); });
  }
  bool exists(const std::string& p) override {
    return call([&] { return inner.exists(p); });
  }
  std::optional<std::uint64_t> size(const std::string& p) override {
    return call([&] { return inner.size(p); });
  }
  Result writeAt(const std::string& p, std::uint64_t o, const std::string& b) override {
    return call([&] { return inner.writeAt(p, o, b); });
  }
  Result truncate(const std::string& p, std::uint64_t s) override {
    return call([&] { return inner.truncate(p, s); });
  }
  Result remove(const std::string& p) override {
    return call([&] { return inner.remove(p); });
  }
  std::vector<std::string> list(const std::string& d) override {
    return call([&] { return inner.list(d); });
  }
  bool isDirectory(const std::string& p) override {
    return call([&] { return inner.isDirectory(p); });
  }

 private:
  std::mutex mutex_;
};

}  // namespace meterstation::testing
