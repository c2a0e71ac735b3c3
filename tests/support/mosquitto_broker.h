#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/wait_until.h"

extern char** environ;

namespace meterstation::testsupport {

// A program of the system in a process of its own, its standard output
// and error into a file, ended with SIGTERM by its owner at the latest.
class SpawnedProgram {
 public:
  SpawnedProgram() = default;
  SpawnedProgram(const SpawnedProgram&) = delete;
  SpawnedProgram& operator=(const SpawnedProgram&) = delete;
  ~SpawnedProgram() { stop(); }

  bool start(const std::vector<std::string>& args, const std::string& output) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const bool started =
        ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started) pid_ = -1;
    return started;
  }
  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  bool running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  pid_t pid_ = -1;
};

// A mosquitto broker of a test's own on 127.0.0.1 and a port nobody else
// uses, its configuration, persistence and log in the test's directory. It
// can be stopped and started again on the same port, its messages kept.
class MosquittoBroker {
 public:
  // Extra lines for its configuration: a password file, TLS.
  MosquittoBroker(const std::string& dir, const std::vector<std::string>& extra = {})
      : dir_(dir), port_(freePort()) {
    std::ofstream conf(dir_ + "/mosquitto.conf");
    conf << "listener " << port_ << " 127.0.0.1\n"
         << "persistence true\npersistence_location " << dir_ << "/\n"
         << "log_type error\nlog_type warning\nlog_type notice\nlog_type information\n"
         << "log_type subscribe\n";
    // Started as root it would drop to the mosquitto user, who cannot
    // write the test's directory.
    if (::geteuid() == 0) conf << "user root\n";
    bool anonymous = true;
    for (const std::string& line : extra) {
      conf << line << "\n";
      if (line.rfind("password_file", 0) == 0) anonymous = false;
    }
    conf << "allow_anonymous " << (anonymous ? "true" : "false") << "\n";
  }

  int port() const { return port_; }
  std::string url(const std::string& scheme = "mqtt") const {
    return scheme + "://127.0.0.1:" + std::to_string(port_);
  }
  std::string log() const { return readAll(dir_ + "/mosquitto.log"); }

  // True once it accepts connections.
  bool start() {
    // Debian puts the broker in /usr/sbin, which a user's PATH leaves out.
    const std::string program =
        ::access("/usr/sbin/mosquitto", X_OK) == 0 ? "/usr/sbin/mosquitto" : "mosquitto";
    if (!process_.start({program, "-c", dir_ + "/mosquitto.conf"}, dir_ + "/mosquitto.log"))
      return false;
    return waitUntil([this] { return accepts(port_); }, std::chrono::seconds(10));
  }
  void stop() { process_.stop(); }

  // A port the kernel has just handed out and taken back.
  static int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
  }
  static bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
  }
  static std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

 private:
  std::string dir_;
  int port_;
  SpawnedProgram process_;
};

// One message as mosquitto_sub -v prints it.
struct ReceivedMessage {
  std::string topic;
  std::string payload;
};

// mosquitto_sub with a session the broker keeps (QoS 1, a fixed client id),
// so that what is published while the broker was away still reaches it.
class Subscriber {
 public:
  Subscriber(const MosquittoBroker& broker, const std::string& dir, const std::string& topics,
             const std::vector<std::string>& login = {})
      : file_(dir + "/received.txt") {
    std::vector<std::string> args = {"mosquitto_sub",
                                     "-h",
                                     "127.0.0.1",
                                     "-p",
                                     std::to_string(broker.port()),
                                     "-v",
                                     "-q",
                                     "1",
                                     "-c",
                                     "-i",
                                     "test-watcher",
                                     "-t",
                                     topics};
    args.insert(args.end(), login.begin(), login.end());
    started_ = process_.start(args, file_);
  }
  bool started() const { return started_; }
  // Once the broker has its subscription: what is published from then on
  // reaches it.
  bool subscribed(const MosquittoBroker& broker) const {
    return started_ &&
           waitUntil([&] { return broker.log().find("test-watcher 1 ") != std::string::npos; },
                     std::chrono::seconds(10));
  }

  // Every whole line so far.
  std::vector<ReceivedMessage> messages() const {
    std::vector<ReceivedMessage> out;
    std::istringstream in(MosquittoBroker::readAll(file_));
    std::string line;
    while (std::getline(in, line)) {
      if (in.eof()) break;  // a line still being written
      const std::size_t space = line.find(' ');
      out.push_back(
          {line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1)});
    }
    return out;
  }
  // The messages on topics that end in this kind ("reading", "set"...).
  std::vector<ReceivedMessage> of(const std::string& kind) const {
    std::vector<ReceivedMessage> out;
    for (ReceivedMessage& m : messages()) {
      if (m.topic.size() > kind.size() && m.topic.ends_with("/" + kind)) out.push_back(m);
    }
    return out;
  }
  const std::string& file() const { return file_; }

 private:
  std::string file_;
  SpawnedProgram process_;
  bool started_ = false;
};

}  // namespace meterstation::testsupport
