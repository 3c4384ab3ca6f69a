#include "base/ipc_protocol.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace morva::ipc {
namespace {

TEST(IpcLine, RoundTripsMessagesWithData) {
    Message m;
    m.msg = kMsgActivateInstance;
    m.lParam = 1;
    EXPECT_EQ(Encode(m), "{\"lParam\":1,\"msg\":\"MsgActivateInstance\",\"wParam\":0}\n");
    EXPECT_EQ(Decode(Encode(m)), m);

    Message status;
    status.msg = "status";
    status.wParam = -5;
    status.data["devices"].append("mouse 配置");
    const auto back = Decode(Encode(status));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, status);
}

TEST(IpcLine, RejectsAnythingMalformed) {
    EXPECT_FALSE(Decode(""));
    EXPECT_FALSE(Decode("\n"));
    EXPECT_FALSE(Decode("garbage"));
    EXPECT_FALSE(Decode("[1,2]"));
    EXPECT_FALSE(Decode("{\"msg\":\"a\""));  // truncated
    EXPECT_FALSE(Decode("{\"wParam\":1}"));  // no name
    EXPECT_FALSE(Decode("{\"msg\":7}"));
    EXPECT_FALSE(Decode("{\"msg\":\"\"}"));
    EXPECT_FALSE(Decode("{\"msg\":\"a\",\"wParam\":\"1\"}"));
    EXPECT_FALSE(Decode("{\"msg\":\"a\",\"lParam\":18446744073709551615}")) << "beyond 64 bits";
    EXPECT_FALSE(Decode("{\"msg\":\"a\"} trailing"));
    EXPECT_FALSE(Decode(std::string(100000, '[')));  // deep nesting, oversized
    EXPECT_FALSE(Decode(std::string(200, '[') + std::string(200, ']')));

    std::string huge = "{\"msg\":\"a\",\"x\":\"" + std::string(kMaxLineBytes, 'x') + "\"}";
    EXPECT_FALSE(Decode(huge));
    EXPECT_TRUE(Decode("{\"msg\":\"a\"}"));
}

TEST(IpcLine, SplitterCutsLinesAndSkipsOversizedOnes) {
    LineSplitter splitter;
    std::vector<std::string> lines;
    auto collect = [&](std::string_view l) { lines.emplace_back(l); };
    splitter.Feed("{\"msg\":\"a\"}\n{\"ms", collect);
    splitter.Feed("g\":\"b\"}\n", collect);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "{\"msg\":\"b\"}");

    lines.clear();
    const std::string big(kMaxLineBytes / 2 + 1, 'x');
    splitter.Feed(big, collect);
    splitter.Feed(big, collect);  // over the cap: this line is dropped whole
    splitter.Feed("still the long line\nnext\n", collect);
    EXPECT_EQ(lines, std::vector<std::string>{"next"});
}

TEST(IpcSocketPath, UsesTheRuntimeFolderOrAPrivateFallback) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved ? saved : "";
    test::TempDir dir;
    std::string error;

    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(SocketPath(error), dir.File("morva-tr510.sock"));

    setenv("XDG_RUNTIME_DIR", ("/" + std::string(120, 'x')).c_str(), 1);
    EXPECT_EQ(SocketPath(error), "");
    EXPECT_NE(error.find("too long"), std::string::npos);

    unsetenv("XDG_RUNTIME_DIR");
    const std::string fallback = SocketPath(error);
    ASSERT_FALSE(fallback.empty()) << error;
    struct stat st {};
    ASSERT_EQ(stat(fallback.substr(0, fallback.rfind('/')).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "the fallback folder is private";

    if (saved) {
        setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    }
}

TEST(IpcSocketPath, AFallbackFolderSomeoneElseMadeGivesWayToOneInTheUsersCache) {
    test::TempDir dir;
    const char* saved = std::getenv("XDG_CACHE_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_CACHE_HOME", dir.File("cache").c_str(), 1);
    std::string error;
    const std::string shared = dir.File("shared");
    EXPECT_EQ(FallbackSocketFolder(shared, error), shared) << error;

    // Open to others (as a folder another user made would be): passed over, and left as it is.
    ASSERT_EQ(chmod(shared.c_str(), 0777), 0);
    const std::string own = FallbackSocketFolder(shared, error);
    EXPECT_EQ(own, dir.File("cache/morva-tr510")) << error;
    struct stat st {};
    ASSERT_EQ(stat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
    ASSERT_EQ(stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u);

    // Nowhere safe at all: a reason, never a folder.
    ASSERT_EQ(chmod(own.c_str(), 0755), 0);
    EXPECT_EQ(FallbackSocketFolder(shared, error), "");
    EXPECT_NE(error.find("not a private folder"), std::string::npos) << error;
    if (saved)
        setenv("XDG_CACHE_HOME", savedValue.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace morva::ipc
