// Only the user who runs kt57d can post commands to it: its socket lives in a folder that is
// that user's alone, and a connection from another user is told apart by the peer's credentials.
// The other-user cases need root to become someone else, and are skipped without it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/control_socket.h"
#include "tests/support/scratch_files.h"

namespace kt57 {
namespace {

using support::ScratchDirectory;

constexpr uid_t nobody = 65534;

mode_t modeOf(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

TEST(ControlSocketFolder, IsCreatedForItsOwnerAlone) {
    ScratchDirectory scratch;
    const std::string socket = scratch.file("kt57d/control.socket");
    std::string reason;
    ASSERT_TRUE(prepareControlSocketFolder(socket, reason)) << reason;
    EXPECT_EQ(modeOf(scratch.file("kt57d")), 0700u);
    EXPECT_TRUE(prepareControlSocketFolder(socket, reason)) << reason;  // and found again next time
}

TEST(ControlSocketFolder, IsRefusedWhenOthersCouldEnterIt) {
    ScratchDirectory scratch;
    const std::string socket = scratch.file("kt57d/control.socket");
    for (mode_t mode : {0755, 0750, 0701, 0777}) {
        std::filesystem::create_directories(scratch.file("kt57d"));
        ASSERT_EQ(chmod(scratch.file("kt57d").c_str(), mode), 0);
        std::string reason;
        EXPECT_FALSE(prepareControlSocketFolder(socket, reason)) << std::oct << mode;
        EXPECT_FALSE(reason.empty());
    }
}

TEST(ControlSocketFolder, IsRefusedWhenItIsALinkOrAFile) {
    ScratchDirectory scratch;
    std::filesystem::create_directory(scratch.file("elsewhere"));
    ASSERT_EQ(chmod(scratch.file("elsewhere").c_str(), 0700), 0);
    std::filesystem::create_directory_symlink(scratch.file("elsewhere"), scratch.file("kt57d"));
    std::string reason;
    EXPECT_FALSE(prepareControlSocketFolder(scratch.file("kt57d/control.socket"), reason));

    support::writeFile(scratch.file("plain"), "");
    EXPECT_FALSE(prepareControlSocketFolder(scratch.file("plain/control.socket"), reason));
}

TEST(ControlSocketFolder, IsRefusedWhenItBelongsToSomeoneElse) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give the folder to another user";
    ScratchDirectory scratch;
    std::filesystem::create_directory(scratch.file("kt57d"));
    ASSERT_EQ(chmod(scratch.file("kt57d").c_str(), 0700), 0);
    ASSERT_EQ(chown(scratch.file("kt57d").c_str(), nobody, nobody), 0);
    std::string reason;
    EXPECT_FALSE(prepareControlSocketFolder(scratch.file("kt57d/control.socket"), reason));
    EXPECT_FALSE(reason.empty());
}

TEST(ControlSocketPath, StaysInTheUsersOwnFolder) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("XDG_RUNTIME_DIR", "relative/dir", 1);  // not absolute: not trusted
    EXPECT_EQ(controlSocketPath(), "/tmp/kt57d-" + std::to_string(getuid()) + "/control.socket");
    setenv("XDG_RUNTIME_DIR", ("/" + std::string(200, 'x')).c_str(), 1);  // too long for a socket address
    EXPECT_EQ(controlSocketPath(), "");
    if (saved != nullptr) setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
}

TEST(ControlSocketPeer, IsTheSameUserOnlyForTheSameUser) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    EXPECT_TRUE(peerIsSameUser(pair[0]));
    close(pair[0]);
    close(pair[1]);
    EXPECT_FALSE(peerIsSameUser(-1));

    if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
    ScratchDirectory scratch;
    ASSERT_EQ(chmod(scratch.path().c_str(), 0755), 0);
    const std::string path = scratch.file("s");
    const int server = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(chmod(path.c_str(), 0777), 0);
    ASSERT_EQ(listen(server, 1), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(nobody) != 0 || setuid(nobody) != 0) _exit(3);
        const int client = socket(AF_UNIX, SOCK_STREAM, 0);
        _exit(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? 0 : 4);
    }
    const int accepted = accept(server, nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    EXPECT_FALSE(peerIsSameUser(accepted));
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(accepted);
    close(server);
}

}  // namespace
}  // namespace kt57
