// Virtual machine: hypervisor words in the hardware names, and the compatibility layer.
#include <stdexcept>

#include "checks/utils.h"
#include "checks/utils_internal.h"
#include "common/text.h"

namespace quorvex {
namespace {

bool Contains(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

// A value the system could not give ends the text, as a failed conversion would.
const std::string& Required(const std::optional<std::string>& value, const char* what) {
  if (!value) throw std::runtime_error(std::string(what) + " is missing");
  return *value;
}

std::string ErrorText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error";
  }
}

}  // namespace

std::string GetVideoControllerText(const TNwCheckEnv& env) {
  std::string text;
  try {
    for (const auto& name : env.Machine.VideoControllerNames()) {
      text += Required(name, "display controller name");
    }
  } catch (...) {
    env.Log.Warn("create wbemscriptin.swbemlocator failed" + ErrorText(std::current_exception()),
                 "");
  }
  return text;
}

std::string GetDiskDriveText(const TNwCheckEnv& env) {
  std::string text;
  try {
    for (const auto& drive : env.Machine.DiskDrives()) {
      text += Required(drive.Identifier, "disk drive identifier");
      text += Required(drive.Caption, "disk drive caption");
    }
  } catch (...) {
    // No stack trace is kept for these errors: its place stays empty.
    env.Log.Info("getDriverInfo failed, %s, %s", {ErrorText(std::current_exception()), ""}, "");
  }
  return text;
}

std::string GetBiosText(const TNwCheckEnv& env) {
  std::string text;
  try {
    for (const auto& bios : env.Machine.BiosInfos()) {
      if (bios.Manufacturer) text += *bios.Manufacturer;
      if (bios.Caption) text += *bios.Caption;
    }
  } catch (...) {
    env.Log.Info("getBIOS failed, %s, %s", {ErrorText(std::current_exception()), ""}, "");
  }
  env.Log.Info("return from bios", "");
  return text;
}

bool HasVirtualHardware(const TNwCheckEnv& env) {
  if (MarkerPresent(env, "vm.qdx")) return false;
  const std::string video = LowerText(GetVideoControllerText(env));
  env.Log.Info("video card ident： " + video, "");
  // Screen-sharing tools install virtual display adapters on physical machines too.
  const bool video_hit = Contains(video, "virtualbox") || Contains(video, "vmware");
  const std::string disk = LowerText(GetDiskDriveText(env));
  env.Log.Info("driver name:" + disk, "");
  if (Contains(disk, "virtual") || Contains(disk, "vmware")) return true;
  const std::string bios = LowerText(GetBiosText(env));
  env.Log.Info("driver name:" + bios, "");
  return Contains(bios, "virtual") || Contains(bios, "vmware") || video_hit;
}

bool IsWineHost(const TNwCheckEnv& env) {
  try {
    auto release = env.Machine.KernelRelease();
    if (!release) return false;
    const std::string lower = LowerText(*release);
    return Contains(lower, "microsoft") || Contains(lower, "wsl");
  } catch (...) {
    return false;
  }
}

bool IsVirtualMachine(const TNwCheckEnv& env) {
  try {
    env.Log.Info("checking is vm", "");
    bool result = HasVirtualHardware(env);
    if (!result) result = IsWineHost(env);
    if (result) env.Log.Info("running in virtual machine", "");
    return result;
  } catch (...) {
    return false;
  }
}

}  // namespace quorvex
