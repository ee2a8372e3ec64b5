// A machine made up for the environment checks: session, hardware, processes, log, markers.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "checks/utils.h"
#include "common/format.h"
#include "common/language.h"
#include "common/log.h"
#include "common/resources.h"
#include "platform/hardware.h"
#include "platform/processes.h"
#include "platform/session.h"
#include "tests/support/fake_log.h"

namespace quorvex::testing {

class FakeSession : public platform::ISessionInfo {
 public:
  bool Remote = false;
  bool Wayland = false;
  std::optional<std::string> Own, Console;
  bool Throws = false;
  int Calls = 0;
  std::string ConsoleAskedFor;

  bool SessionReportsRemote() override {
    ++Calls;
    if (Throws) throw std::runtime_error("session query failed");
    return Remote;
  }
  // Asked before anything else, so counted apart from the remote-session questions.
  int WaylandCalls = 0;
  bool IsWaylandSession() override {
    ++WaylandCalls;
    if (Throws) throw std::runtime_error("session query failed");
    return Wayland;
  }
  std::optional<std::string> CurrentSessionId() override {
    ++Calls;
    return Own;
  }
  std::optional<std::string> ConsoleSessionId(const std::string& session) override {
    ++Calls;
    ConsoleAskedFor = session;
    return Console;
  }
};

class FakeMachine : public platform::IMachineInfo {
 public:
  std::vector<std::optional<std::string>> Video;
  std::vector<platform::TDiskDriveInfo> Disks;
  std::vector<platform::TBiosInfo> Bios;
  // A source that cannot be read throws this message.
  std::optional<std::string> VideoError, DiskError, BiosError;
  std::optional<std::string> Kernel = "6.1.0-13-amd64";
  uint64_t Memory = 16ull << 30;
  int Cpus = 8;
  int Queries = 0, BiosQueries = 0;

  std::vector<std::optional<std::string>> VideoControllerNames() override {
    ++Queries;
    if (VideoError) throw std::runtime_error(*VideoError);
    return Video;
  }
  std::vector<platform::TDiskDriveInfo> DiskDrives() override {
    ++Queries;
    if (DiskError) throw std::runtime_error(*DiskError);
    return Disks;
  }
  std::vector<platform::TBiosInfo> BiosInfos() override {
    ++Queries;
    ++BiosQueries;
    if (BiosError) throw std::runtime_error(*BiosError);
    return Bios;
  }
  std::optional<std::string> KernelRelease() override { return Kernel; }
  uint64_t TotalPhysicalMemory() override { return Memory; }
  int LogicalProcessorCount() override { return Cpus; }
};

class FakeProcesses : public platform::IProcessTable {
 public:
  std::vector<std::string> Names;
  int Walks = 0;

  void ForEachProcess(const std::function<bool(std::string_view)>& visit) override {
    ++Walks;
    for (const std::string& name : Names) {
      if (!visit(name)) return;
    }
  }
};

// The check failures' titles in the shipped English table.
inline const char* const kBanTitle = "Please close Team View, Forbidden to record screen";
inline const char* const kScreenTitle = "Detected Multiple Screen or Remote Desktop";
inline const char* const kVmTitle = "Detected Running in Vritaul Machine";
inline const char* const kChatTitle = "Detected QQ or Wechat Running";
inline const char* const kUnlockableTitle =
    "This desktop session cannot be locked for the exam. Log out and choose an X11 (Xorg) "
    "session, then try again.";

// The shipped string table in one of its languages.
inline const TNwI18n& ShippedStrings(const std::string& section) {
  static const TNwI18n en(LoadResource("LANGUAGEINI"), "en-us");
  static const TNwI18n zh(LoadResource("LANGUAGEINI"), "zh-cn");
  return section == "zh-cn" ? zh : en;
}

struct FakeBox {
  std::string Caption, Text;
};

// One made-up machine; Env() wires it into the checks.
struct FakeMachineRoom {
  FakeSession Session;
  FakeMachine Machine;
  FakeProcesses Processes;
  FakeLog Log;
  std::set<std::string, std::less<>> Markers;
  std::vector<std::string> DebugLines;
  bool DebugOn = false;
  std::vector<FakeBox> Boxes;
  const INwI8n* Strings = &ShippedStrings("en-us");

  TNwCheckEnv Env() {
    return TNwCheckEnv{
        .MarkerPresent = [this](std::string_view name) { return Markers.contains(name); },
        .Session = Session,
        .Machine = Machine,
        .Processes = Processes,
        .Log = Log,
        .Strings = *Strings,
        .Debug = DebugOn ? std::function<void(std::string_view)>(
                               [this](std::string_view line) { DebugLines.emplace_back(line); })
                         : nullptr,
        .ShowInformation =
            [this](const std::string& caption, const std::string& text) {
              Boxes.push_back({caption, text});
            },
    };
  }
};

}  // namespace quorvex::testing
