#include "mail/base64.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Encode(const std::string& in) {
    std::string out(Base64EncodedSize(in.size()) + 16, '#');
    const size_t n =
        encodeBase64(reinterpret_cast<const uint8_t*>(in.data()), in.size(), out.data());
    EXPECT_EQ(n, Base64EncodedSize(in.size()));
    EXPECT_EQ(out.substr(n), std::string(16, '#')) << "wrote past the count it returned";
    out.resize(n);
    return out;
}

} // namespace

TEST(Base64, ShortInputsLineEndsAndPaddingAsTheMessageFileNeedsThem) {
    EXPECT_EQ(Encode("a"), "YQ==\r\n");
    EXPECT_EQ(Encode("abc"), "YWJj\r\n");
    EXPECT_EQ(Encode("ab"), "YWI=\r\n");

    // 39 bytes: one full line, its break, and the final CR LF as an empty line.
    const std::string line39(39, '\xff');
    EXPECT_EQ(Encode(line39), std::string(52, '/') + "\r\n\r\n");

    // 38 bytes: the padded group completes the line.
    const std::string out38 = Encode(std::string(38, 'x'));
    ASSERT_EQ(out38.size(), 56u);
    EXPECT_EQ(out38[51], '=');
    EXPECT_NE(out38[50], '=');
    EXPECT_EQ(out38.substr(52), "\r\n\r\n");

    // 40 bytes: a full line, then four characters ending in "==".
    const std::string out40 = Encode(std::string(40, 'x'));
    ASSERT_EQ(out40.size(), 60u);
    EXPECT_EQ(out40.substr(52, 2), "\r\n");
    EXPECT_EQ(out40.substr(56), "==\r\n");
    EXPECT_NE(out40[55], '=');

    EXPECT_EQ(Encode(""), "\r\n");
}

TEST(Base64, AgreesWithGlibOnRandomDataOnceTheLinesAreJoined) {
    std::mt19937 rng(20120305);
    std::vector<size_t> sizes;
    for (size_t n = 1; n <= 200; ++n)
        sizes.push_back(n);
    for (int i = 0; i < 60; ++i)
        sizes.push_back(200 + rng() % 200000);
    for (const size_t n : sizes) {
        std::string in(n, '\0');
        for (char& c : in)
            c = char(rng());
        const std::string ours = Encode(in);

        // Lines of 52 characters, each ended by CR LF, and one more CR LF at the end.
        std::string joined;
        size_t pos = 0;
        for (;;) {
            const size_t eol = ours.find("\r\n", pos);
            ASSERT_NE(eol, std::string::npos);
            if (eol + 2 == ours.size()) {
                ASSERT_LE(eol - pos, 52u) << "n=" << n;
                joined += ours.substr(pos, eol - pos);
                break;
            }
            ASSERT_EQ(eol - pos, 52u) << "n=" << n << " at " << pos;
            joined += ours.substr(pos, 52);
            pos = eol + 2;
        }
        gchar* theirs = g_base64_encode(reinterpret_cast<const guchar*>(in.data()), in.size());
        EXPECT_EQ(joined, std::string(theirs)) << "n=" << n;
        g_free(theirs);
    }
}
