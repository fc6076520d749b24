#include "acquisition/port_links.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Tick(const Bytes& bytes) {
    const uint32_t n = uint32_t(bytes.size());
    Bytes t = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    t.insert(t.end(), bytes.begin(), bytes.end());
    return t;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::string Write(const QTemporaryDir& dir, const char* name, const Bytes& bytes) {
    const std::string path = dir.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

} // namespace

TEST(ReplayLink, PlaysEachCapturedTickOnceThroughQueuedAndRead) {
    const Bytes full(2048, 0x7E);
    const Bytes capture = Join({Tick({}), Tick({'a', 'b', 'c'}), Tick(full), Tick({})});
    CReplayLink link;
    std::string error;
    ASSERT_TRUE(link.Parse(capture, &error)) << error;
    EXPECT_EQ(link.Ticks(), 4u);

    uint8_t buf[kMaxChunk];
    EXPECT_EQ(link.Queued(), 0) << "an empty tick is used up by the status query";
    ASSERT_EQ(link.Queued(), 3);
    ASSERT_EQ(link.Read(buf, kMaxChunk), 3);
    EXPECT_EQ(Bytes(buf, buf + 3), (Bytes{'a', 'b', 'c'}));
    ASSERT_EQ(link.Queued(), 2048);
    ASSERT_EQ(link.Read(buf, kMaxChunk), 2048);
    EXPECT_EQ(Bytes(buf, buf + 2048), full);
    EXPECT_FALSE(link.AtEnd());
    EXPECT_EQ(link.Queued(), 0);
    EXPECT_TRUE(link.AtEnd());
    EXPECT_EQ(link.Read(buf, kMaxChunk), 0);

    // The file reader hands its bytes to the same parser and starts again from the first tick.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(link.Load(Write(dir, "cap.bin", capture), &error)) << error;
    EXPECT_EQ(link.Ticks(), 4u);
    EXPECT_FALSE(link.AtEnd());
    EXPECT_TRUE(link.Parse({}, &error)) << "an empty capture is a capture of no ticks";
    EXPECT_TRUE(link.AtEnd());
}

TEST(ReplayLink, BrokenCaptureNamesTickAndOffsetAndLeavesNothingToPlay) {
    const Bytes good = Tick({1, 2, 3});
    const struct {
        Bytes bytes;
        const char* message;
    } cases[] = {
        {Join({good, {5, 0, 0}}), "tick 2 at offset 7: the 4-byte length is cut short"},
        {Join({good, Tick(Bytes(2049, 0))}),
         "tick 2 at offset 7: length 2049 is more than a tick reads (2048)"},
        {{0, 0, 0, 1}, "tick 1 at offset 0: length 16777216 is more than a tick reads (2048)"},
        {Join({Tick({}), {5, 0, 0, 0, 9, 9}}),
         "tick 2 at offset 4: 5 bytes announced, only 2 left"},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& c : cases) {
        CReplayLink link;
        ASSERT_TRUE(link.Parse(good, nullptr));
        std::string error;
        EXPECT_FALSE(link.Parse(c.bytes, &error));
        EXPECT_EQ(error, c.message);
        EXPECT_TRUE(link.AtEnd());
        EXPECT_EQ(link.Ticks(), 0u);
        EXPECT_EQ(link.Queued(), 0);

        const std::string path = Write(dir, "bad.bin", c.bytes);
        EXPECT_FALSE(link.Load(path, &error));
        EXPECT_EQ(error, path + ": " + c.message);
    }
    CReplayLink link;
    std::string error;
    const std::string missing = dir.filePath("missing.bin").toStdString();
    EXPECT_FALSE(link.Load(missing, &error));
    EXPECT_EQ(error, missing + ": No such file or directory");
}
