#include "PawletKit/ApprovalStore.hpp"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace PawletKit;
namespace fs = std::filesystem;

namespace {

class ApprovalStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "approval-store-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    static ApprovalRequest makeRequest(std::string id, double createdAt, double expiresAt, int64_t hookPid = 0)
    {
        ApprovalRequest request;
        request.id = std::move(id);
        request.tool = "Bash";
        request.sessionId = "s";
        request.hookPid = hookPid;
        request.createdAt = createdAt;
        request.expiresAt = expiresAt;
        return request;
    }

    std::vector<std::string> names(fs::path const& dir) const
    {
        std::vector<std::string> result;
        for (auto const& entry : fs::directory_iterator(dir))
            result.push_back(entry.path().filename().string());
        std::sort(result.begin(), result.end());
        return result;
    }

    static void writeFile(fs::path const& path, std::string const& content) { std::ofstream(path, std::ios::binary) << content; }

    static std::string readFile(fs::path const& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static unsigned mode(fs::path const& path)
    {
        struct stat info { };
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        return info.st_mode & 07777;
    }

    // The pid of a child that has exited and been reaped: a process that no longer exists.
    static pid_t deadPid()
    {
        pid_t child = fork();
        if (child == 0)
            _exit(0);
        int status = 0;
        waitpid(child, &status, 0);
        return child;
    }

    fs::path root;
};

}

TEST_F(ApprovalStoreTest, RoundTripThroughRealFiles)
{
    Paths const support = Paths::withBase(root / "support" / "nested");
    ApprovalStore const store(support);
    EXPECT_EQ(store.dir(), support.approvalsDirectory());
    EXPECT_FALSE(fs::exists(store.dir()));

    std::string const id = ApprovalStore::newId();
    ApprovalRequest request = makeRequest(id, 1000, 1115, 321);
    request.target = "/p/x.txt";
    request.summary = "--- a/x.txt\n+++ b/x.txt";
    ASSERT_TRUE(store.write(request));

    EXPECT_EQ(mode(store.dir()), 0700u);
    EXPECT_EQ(names(store.dir()), std::vector<std::string> { id + ".json" });
    EXPECT_EQ(mode(store.dir() / (id + ".json")), 0600u);
    EXPECT_EQ(readFile(store.dir() / (id + ".json")), *JSON::serialize(request.jsonObject()));

    auto pending = store.pendingRequests();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0], request);
    EXPECT_EQ(store.request(id), request);
    EXPECT_EQ(store.pendingSessionIds(), std::set<std::string> { "s" });
    EXPECT_FALSE(store.readReply(id));

    ASSERT_TRUE(store.writeReply(id, ApprovalDecision::deny));
    EXPECT_EQ(readFile(store.dir() / (id + ".reply")), "deny");
    EXPECT_EQ(mode(store.dir() / (id + ".reply")), 0600u);
    EXPECT_EQ(store.readReply(id), ApprovalDecision::deny);
    ASSERT_TRUE(store.writeReply(id, ApprovalDecision::allow));
    EXPECT_EQ(store.readReply(id), ApprovalDecision::allow);
    EXPECT_EQ(names(store.dir()), (std::vector<std::string> { id + ".json", id + ".reply" }));

    request.summary = "replaced";
    ASSERT_TRUE(store.write(request));
    EXPECT_EQ(store.request(id)->summary, "replaced");

    store.remove(id);
    EXPECT_TRUE(names(store.dir()).empty());
    EXPECT_TRUE(store.pendingRequests().empty());
    store.remove(id);
}

TEST_F(ApprovalStoreTest, InvalidIdsTouchNoFile)
{
    fs::path const dir = root / "approvals";
    ApprovalStore const store(dir);
    ASSERT_TRUE(store.ensureDirectory());
    // Files an escaping id would reach, and one beside them named by the id as it stands.
    for (char const* name : { "x.json", "x.reply", "a.b.json" })
        writeFile(root / name, "allow");
    writeFile(dir / "a.b.json", R"({"id":"ok"})");
    writeFile(dir / "a.b.reply", "allow");

    std::string const tooLong(65, 'a');
    for (std::string const id : { "../x", "a.b", "", "a/b", "/tmp/x", tooLong.c_str() }) {
        EXPECT_FALSE(store.requestURL(id)) << id;
        EXPECT_FALSE(store.replyURL(id)) << id;
        EXPECT_FALSE(store.write(makeRequest(id, 1, 2))) << id;
        EXPECT_FALSE(store.writeReply(id, ApprovalDecision::allow)) << id;
        EXPECT_FALSE(store.readReply(id)) << id;
        EXPECT_FALSE(store.request(id)) << id;
        store.remove(id);
    }
    EXPECT_EQ(names(root), (std::vector<std::string> { "a.b.json", "approvals", "x.json", "x.reply" }));
    EXPECT_EQ(readFile(root / "x.json"), "allow");
    EXPECT_EQ(names(dir), (std::vector<std::string> { "a.b.json", "a.b.reply" }));
    EXPECT_EQ(store.requestURL("ok"), dir / "ok.json");
    EXPECT_EQ(store.replyURL("ok"), dir / "ok.reply");
}

TEST_F(ApprovalStoreTest, ListsNewestFirstAndSkipsWhatIsNotARequest)
{
    ApprovalStore const store(root / "approvals");
    EXPECT_TRUE(store.pendingRequests().empty());
    EXPECT_TRUE(store.sweep(Date::now()).empty());

    for (auto const& request : { makeRequest("r100", 100, 0), makeRequest("r300", 300, 0), makeRequest("r200", 200, 0),
             makeRequest("b", 50, 0), makeRequest("a", 50, 0) })
        ASSERT_TRUE(store.write(request));
    fs::path const dir = store.dir();
    writeFile(dir / ".hidden.json", R"({"id":"hidden"})");
    writeFile(dir / "notes.txt", R"({"id":"notes"})");
    writeFile(dir / "a.json.tmp", R"({"id":"tmp"})");
    writeFile(dir / "bad id.json", R"({"id":"badid"})");
    writeFile(dir / "x.reply", R"({"id":"x"})");
    writeFile(dir / "broken.json", R"({"id":"broken",)");
    writeFile(dir / "noid.json", R"({"tool":"Bash"})");
    fs::create_directory(dir / "folder.json");
    ASSERT_EQ(mkfifo((dir / "pipe.json").c_str(), 0600), 0);

    std::vector<std::string> ids;
    for (auto const& request : store.pendingRequests())
        ids.push_back(request.id);
    EXPECT_EQ(ids, (std::vector<std::string> { "r300", "r200", "r100", "a", "b" }));
    EXPECT_FALSE(store.request("pipe"));
    EXPECT_FALSE(store.request("folder"));
}

TEST_F(ApprovalStoreTest, ReadsRepliesTrimmedAndExact)
{
    ApprovalStore const store(root / "approvals");
    ASSERT_TRUE(store.ensureDirectory());
    struct Case {
        std::string content;
        std::optional<ApprovalDecision> expected;
    };
    Case const cases[] = {
        { "allow", ApprovalDecision::allow },
        { "allow\n", ApprovalDecision::allow },
        { "  deny \t\r\n", ApprovalDecision::deny },
        { "\xC2\xA0"
          "allow\xE2\x80\xA8",
            ApprovalDecision::allow },
        { "Allow", std::nullopt },
        { "", std::nullopt },
        { "allow please", std::nullopt },
        { "\xFF"
          "allow",
            std::nullopt },
        { "al\nlow", std::nullopt },
    };
    for (auto const& c : cases) {
        writeFile(store.dir() / "r.reply", c.content);
        EXPECT_EQ(store.readReply("r"), c.expected) << c.content;
    }
    EXPECT_FALSE(store.readReply("missing"));
    fs::remove(store.dir() / "r.reply");
    ASSERT_EQ(mkfifo((store.dir() / "r.reply").c_str(), 0600), 0);
    EXPECT_FALSE(store.readReply("r"));
}

TEST_F(ApprovalStoreTest, SweepRemovesStaleRequestsAndOrphanReplies)
{
    ApprovalStore const store(root / "approvals");
    double const t = 1'700'000'000;
    int64_t const live = getpid();
    int64_t const dead = deadPid();
    struct Case {
        char const* id;
        double createdAt;
        double expiresAt;
        int64_t hookPid;
        bool swept;
    };
    Case const cases[] = {
        { "age131", t - 131, t + 60, live, true },
        { "age130", t - 130, t + 60, live, false },
        { "expired", t - 10, t - 0.5, live, true },
        { "expiresNow", t - 11, t, live, false },
        { "noTimes", 0, 0, 0, false },
        { "deadHook", t - 12, t + 60, dead, true },
        { "otherUsersHook", t - 13, t + 60, 1, false },
        { "future", t + 500, t + 615, live, false },
        { "futureExpired", t + 501, t - 1, live, true },
        { "futureDeadHook", t + 502, t + 615, dead, true },
        { "hugePid", t - 14, t + 60, int64_t(1) << 40, false },
    };
    for (auto const& c : cases) {
        ASSERT_TRUE(store.write(makeRequest(c.id, c.createdAt, c.expiresAt, c.hookPid)));
        ASSERT_TRUE(store.writeReply(c.id, ApprovalDecision::allow));
    }
    ASSERT_TRUE(store.writeReply("orphan", ApprovalDecision::deny));
    writeFile(store.dir() / "broken.json", "{");
    writeFile(store.dir() / "broken.reply", "allow");

    // Newest first, as listed.
    std::vector<std::string> expectedSwept;
    std::vector<Case> byAge(std::begin(cases), std::end(cases));
    std::stable_sort(byAge.begin(), byAge.end(), [](Case const& a, Case const& b) { return a.createdAt > b.createdAt; });
    std::vector<std::string> expectedLeft { "broken.json", "broken.reply" };
    for (auto const& c : byAge) {
        if (c.swept) {
            expectedSwept.push_back(c.id);
        } else {
            expectedLeft.push_back(std::string(c.id) + ".json");
            expectedLeft.push_back(std::string(c.id) + ".reply");
        }
    }
    std::sort(expectedLeft.begin(), expectedLeft.end());

    EXPECT_EQ(store.sweep(Date::fromSeconds(t)), expectedSwept);
    EXPECT_EQ(names(store.dir()), expectedLeft);
    EXPECT_TRUE(store.sweep(Date::fromSeconds(t)).empty());
}

TEST_F(ApprovalStoreTest, HookIsGone)
{
    struct Case {
        int64_t pid;
        bool gone;
    };
    Case const cases[] = {
        { getpid(), false },
        { deadPid(), true },
        { 1, false },
        { 0, false },
        { -1, false },
        { int64_t(2147483648), false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(ApprovalStore::hookIsGone(c.pid), c.gone) << c.pid;
}

TEST_F(ApprovalStoreTest, WritingPassesTemporaryLeftoversByAndFailsCleanly)
{
    ApprovalStore const store(root / "approvals");
    ASSERT_TRUE(store.ensureDirectory());
    std::string const pid = std::to_string(getpid());
    // A temporary file left by a crashed writer, and one planted as a link elsewhere.
    writeFile(store.dir() / (".r.json." + pid + ".tmp"), "leftover");
    writeFile(root / "elsewhere", "untouched");
    fs::create_symlink(root / "elsewhere", store.dir() / (".q.reply." + pid + ".tmp"));
    ASSERT_TRUE(store.write(makeRequest("r", 1, 2)));
    ASSERT_TRUE(store.writeReply("q", ApprovalDecision::allow));
    EXPECT_EQ(readFile(root / "elsewhere"), "untouched");
    EXPECT_EQ(names(store.dir()), (std::vector<std::string> { ".q.reply." + pid + ".tmp", ".r.json." + pid + ".tmp", "q.reply", "r.json" }));
    fs::remove(store.dir() / (".q.reply." + pid + ".tmp"));
    fs::remove(store.dir() / (".r.json." + pid + ".tmp"));

    // A time that is not a number cannot be encoded; the rename cannot replace a folder.
    EXPECT_FALSE(store.write(makeRequest("nan", std::numeric_limits<double>::quiet_NaN(), 2)));
    fs::create_directories(store.dir() / "blocked.json" / "inside");
    EXPECT_FALSE(store.write(makeRequest("blocked", 1, 2)));
    EXPECT_EQ(names(store.dir()), (std::vector<std::string> { "blocked.json", "q.reply", "r.json" }));
}

TEST_F(ApprovalStoreTest, EnsureDirectory)
{
    ApprovalStore const store(root / "a" / "b" / "approvals");
    ASSERT_TRUE(store.ensureDirectory());
    EXPECT_EQ(mode(store.dir()), 0700u);
    chmod(store.dir().c_str(), 0755);
    ASSERT_TRUE(store.ensureDirectory());
    EXPECT_EQ(mode(store.dir()), 0700u);

    writeFile(root / "file", "x");
    ApprovalStore const blocked(root / "file");
    EXPECT_FALSE(blocked.ensureDirectory());
    EXPECT_FALSE(blocked.write(makeRequest("r", 1, 2)));
    EXPECT_FALSE(blocked.writeReply("r", ApprovalDecision::allow));
    EXPECT_TRUE(blocked.pendingRequests().empty());
    blocked.removeAll();
    EXPECT_EQ(readFile(root / "file"), "x");
}

TEST_F(ApprovalStoreTest, RemoveAllEmptiesTheFolderOnly)
{
    ApprovalStore const store(root / "approvals");
    ASSERT_TRUE(store.write(makeRequest("r", 1, 2)));
    ASSERT_TRUE(store.writeReply("r", ApprovalDecision::allow));
    writeFile(store.dir() / ".r.99.tmp", "x");
    writeFile(store.dir() / ".r.reply.99.tmp", "x");
    writeFile(root / "outside", "x");
    fs::create_symlink(root, store.dir() / "link");
    store.removeAll();
    EXPECT_TRUE(fs::is_directory(store.dir()));
    EXPECT_TRUE(names(store.dir()).empty());
    EXPECT_TRUE(fs::exists(root / "outside"));
}
