#include "devhost/accept_encoding.h"

#include <gtest/gtest.h>

namespace Vane::DevHost {
namespace {

TEST(AcceptEncoding, DropsBrotliAndKeepsTheRestInOrder) {
    const struct {
        const char* header;
        const char* kept;
    } kCases[] = {
        {"gzip, deflate, br", "gzip, deflate"},
        {"br, gzip", "gzip"},
        {"gzip, deflate, br, zstd", "gzip, deflate, zstd"},
        {"br;q=1.0, gzip;q=0.8, *;q=0.1", "gzip;q=0.8, *;q=0.1"},
        {" BR ,gzip", "gzip"},
        {"br", ""},
        {"gzip", "gzip"},
        {"x-brotli, gzip", "gzip"},              // the library would take its "br" for brotli
        {"gzip;q=0.5;br=1", "gzip;q=0.5;br=1"},  // a parameter is no coding
        {"identity", "identity"},
        {"", ""},
        {" , ,", ""},
    };
    for (const auto& each : kCases) {
        EXPECT_EQ(WithoutBrotli(each.header), each.kept) << each.header;
    }
}

}  // namespace
}  // namespace Vane::DevHost
