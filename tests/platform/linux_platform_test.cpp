#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/linux/paths.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/scratch_dir.h"

// Last: its macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>

namespace quorvex::platform {
namespace {

namespace fs = std::filesystem;

class PrivateFolder : public ::testing::Test {
 protected:
  mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(lstat(p.c_str(), &st), 0);
    return st.st_mode & 0777;
  }

  quorvex::testing::ScratchDir scratch_{"qvx-platform"};
  const fs::path root_ = fs::path(scratch_.path()).parent_path();
};

TEST_F(PrivateFolder, TempDirIsTmpdirOrAPrivateFolderOfTheUser) {
  fs::create_directory(root_ / "mine");
  EXPECT_EQ(TempDirFrom((root_ / "mine/../mine").c_str(), root_, getuid()),
            (root_ / "mine").string() + "/");

  const uid_t uid = getuid();
  const fs::path own = root_ / ("quorvex-" + std::to_string(uid));
  EXPECT_EQ(TempDirFrom(nullptr, root_, uid), own.string() + "/");
  EXPECT_EQ(ModeOf(own), 0700u);

  // A folder left world-writable is made private again.
  fs::permissions(own, fs::perms::all);
  EXPECT_EQ(TempDirFrom("", root_, uid), own.string() + "/");
  EXPECT_EQ(ModeOf(own), 0700u);
}

TEST_F(PrivateFolder, ASharedOrForeignTmpdirOnlyHoldsOurPrivateFolder) {
  const uid_t uid = getuid();
  const auto private_in = [&](const fs::path& dir) {
    return (dir / ("quorvex-" + std::to_string(uid))).string() + "/";
  };
  fs::create_directory(root_ / "shared");
  fs::permissions(root_ / "shared", fs::perms::all | fs::perms::sticky_bit);
  fs::create_directory(root_ / "group");
  fs::permissions(root_ / "group", fs::perms::group_write, fs::perm_options::add);
  fs::create_directory(root_ / "foreign");
  ASSERT_EQ(chown((root_ / "foreign").c_str(), uid + 1, getgid()), 0) << "tests run as root";
  std::ofstream(root_ / "file") << "x";
  fs::create_directory(root_ / "base");
  const std::pair<fs::path, std::string> cases[] = {
      {root_ / "shared", private_in(root_ / "shared")},
      {root_ / "group", private_in(root_ / "group")},
      {root_ / "foreign", private_in(root_ / "foreign")},
      {root_ / "file", private_in(root_ / "base")},
      {root_ / "missing", private_in(root_ / "base")},
  };
  for (const auto& [tmpdir, expected] : cases) {
    EXPECT_EQ(TempDirFrom(tmpdir.c_str(), root_ / "base", uid), expected) << tmpdir;
    EXPECT_EQ(ModeOf(expected), 0700u) << tmpdir;
  }
}

TEST_F(PrivateFolder, TheInstanceLockIsTheUsersWhateverTmpdirSays) {
  const uid_t uid = getuid();
  fs::create_directory(root_ / "run");
  fs::permissions(root_ / "run", fs::perms::owner_all);
  fs::create_directory(root_ / "open");
  fs::permissions(root_ / "open", fs::perms::all);
  const std::string private_dir = (root_ / ("quorvex-" + std::to_string(uid))).string() + "/";
  EXPECT_EQ(LockDirFrom((root_ / "run").c_str(), root_, uid), (root_ / "run").string() + "/");
  EXPECT_EQ(LockDirFrom((root_ / "open").c_str(), root_, uid), private_dir);
  EXPECT_EQ(LockDirFrom(nullptr, root_, uid), private_dir);
  EXPECT_EQ(LockDirFrom("", root_, uid), private_dir);
}

TEST_F(PrivateFolder, RefusesAFolderThatIsALinkOrSomebodyElses) {
  const uid_t uid = getuid();
  const fs::path name = root_ / ("quorvex-" + std::to_string(uid));
  fs::create_directory(root_ / "elsewhere");
  fs::create_directory_symlink(root_ / "elsewhere", name);

  std::string error;
  EXPECT_EQ(PrivateDirUnder(root_, uid, &error), std::nullopt);
  EXPECT_NE(error.find("not a directory of its own"), std::string::npos);
  std::string fallback = TempDirFrom(nullptr, root_, uid);
  EXPECT_NE(fallback, name.string() + "/");
  EXPECT_NE(fallback, (root_ / "elsewhere").string() + "/");
  EXPECT_TRUE(fallback.starts_with(name.string() + "-"));
  EXPECT_EQ(ModeOf(fallback), 0700u);

  // As another user the same folder belongs to somebody else.
  fs::remove(name);
  fs::create_directory(name);
  EXPECT_EQ(PrivateDirUnder(root_, uid + 1, &error), std::nullopt);
  ASSERT_EQ(chown(name.c_str(), uid + 1, getgid()), 0) << "tests run as root";
  EXPECT_EQ(PrivateDirUnder(root_, uid, &error), std::nullopt);
  EXPECT_NE(error.find("another user"), std::string::npos);
}

TEST_F(PrivateFolder, LocaleNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"zh_CN.UTF-8", "zh-CN"}, {"zh_TW.UTF-8", "zh-TW"}, {"en_US", "en-US"},
      {"de_DE@euro", "de-DE"},  {"C.UTF-8", ""},          {"POSIX", ""},
  };
  for (const auto& [posix, name] : cases) EXPECT_EQ(LocaleNameFromPosix(posix), name) << posix;

  std::ofstream(root_ / "locale") << "# system locale\nLANG=\"zh_CN.UTF-8\"\nLANGUAGE=zh\n";
  EXPECT_EQ(SystemLocaleFromFile(root_ / "locale"), "zh-CN");
  EXPECT_EQ(SystemLocaleFromFile(root_ / "missing"), "");

  setenv("LC_ALL", "", 1);
  setenv("LC_MESSAGES", "zh_CN.UTF-8", 1);
  setenv("LANG", "en_US.UTF-8", 1);
  EXPECT_EQ(UserLocaleName(), "zh-CN");
  unsetenv("LC_MESSAGES");
  EXPECT_EQ(UserLocaleName(), "en-US");
}

TEST_F(PrivateFolder, SingleInstanceLockIsHeldUntilTheProcessEnds) {
  // A runtime folder of this test's own, as the lock lives there whatever $TMPDIR says.
  fs::create_directory(root_ / "run");
  fs::permissions(root_ / "run", fs::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char c = AcquireSingleInstanceLock("qvx-test") == TInstanceLock::ilAcquired ? 'y' : 'n';
    (void)!write(ready[1], &c, 1);
    if (c == 'y') (void)!read(release[0], &c, 1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  EXPECT_EQ(AcquireSingleInstanceLock("qvx-test"), TInstanceLock::ilAlreadyHeld);
  (void)!write(release[1], "x", 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(AcquireSingleInstanceLock("qvx-test"), TInstanceLock::ilAcquired);
  EXPECT_EQ(AcquireSingleInstanceLock("qvx-test"), TInstanceLock::ilAlreadyHeld);
  EXPECT_EQ(ModeOf(root_ / "run/qvx-test.lock"), 0600u);
  unsetenv("XDG_RUNTIME_DIR");
}

TEST_F(PrivateFolder, FilesAreAppendedOwnerOnlyAndErrorsRaise) {
  IFileSystem& files = LocalFileSystem();
  const std::string path = root_ / "sub/dir/a.log";
  files.CreateDirectories(root_ / "sub/dir");
  {
    auto f = files.OpenAppend(path);
    f->Append("one\r\n");
    EXPECT_EQ(f->Size(), 5u);
  }
  files.OpenAppend(path)->Append("two\r\n");
  EXPECT_EQ(ModeOf(path), 0600u);
  std::ifstream in(path, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(content, "one\r\ntwo\r\n");

  files.Rename(path, root_ / "b.log");
  EXPECT_FALSE(files.Exists(path));
  EXPECT_TRUE(files.Exists(root_ / "b.log"));
  EXPECT_THROW(files.Rename(path, root_ / "c.log"), std::system_error);
  EXPECT_THROW(files.Remove(path), std::system_error);
  EXPECT_THROW(files.OpenAppend(root_ / "none/x.log"), std::system_error);
}

TEST(Platform, TheDocumentsFolderIsTheDesktopsOrTheHomeFolder) {
  const struct {
    const char *user_dirs, *documents;
  } cases[] = {
      {"XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n", "/home/ann/Documents/"},
      {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/文档\"\n",
       "/home/ann/文档/"},
      {"XDG_DOCUMENTS_DIR=\"/srv/papers\"", "/srv/papers/"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", "/home/ann/"},
      {"XDG_DOCUMENTS_DIR=\"relative\"\n", "/home/ann/"},
      {"", "/home/ann/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::DocumentsDirFrom(c.user_dirs, "/home/ann"), c.documents) << c.user_dirs;
  }

  // On disk: a named folder that does not exist falls back to the home folder.
  testing::ScratchDir home;
  ::setenv("HOME", home.path().c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home.path() + "config").c_str(), 1);
  std::filesystem::create_directories(home.path() + "config");
  std::ofstream(home.path() + "config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
  EXPECT_EQ(platform::DocumentsDir(), home.path());
  std::filesystem::create_directories(home.path() + "Papers");
  EXPECT_EQ(platform::DocumentsDir(), home.path() + "Papers/");
}

TEST(Platform, TheFoldersToPickFromAreRootHomeAndRemovableMedia) {
  const char* mounts =
      "/dev/sda1 / ext4 rw 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n"
      "/dev/sdc1 /run/media/ann/disk ext4 rw 0 0\n"
      "/dev/sdd1 /mnt/exam ext4 rw 0 0\n"
      "tmpfs /run/user/1000 tmpfs rw 0 0\n"
      "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n";
  EXPECT_EQ(platform::MountedFoldersFrom(mounts, "/home/ann"),
            (std::vector<std::string>{"/", "/home/ann/", "/media/ann/USB STICK/",
                                      "/run/media/ann/disk/", "/mnt/exam/"}));
  const auto here = platform::MountedFolders();
  ASSERT_GE(here.size(), 2u);
  EXPECT_EQ(here[0], "/");
}

TEST(Platform, Executable) {
  EXPECT_EQ(ExecutableBaseName(), "platform_tests");
  EXPECT_TRUE(ExecutableDir().ends_with("/"));
  EXPECT_TRUE(fs::exists(ExecutableDir() + "platform_tests"));
}

TEST(Platform, ACommandForAWindowThatIsGoneFailsWithoutEndingTheSender) {
  e2e::XServer x;
  setenv("DISPLAY", x.display().c_str(), 1);
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
  XSync(d, False);
  EXPECT_TRUE(SendCommandMessage(w, 0x040B));
  XDestroyWindow(d, w);
  XSync(d, False);
  EXPECT_FALSE(SendCommandMessage(w, 0x040B));
  XCloseDisplay(d);
}

}  // namespace
}  // namespace quorvex::platform
