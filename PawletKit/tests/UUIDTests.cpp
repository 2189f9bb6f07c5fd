#include "PawletKit/UUID.hpp"

#include <gtest/gtest.h>
#include <set>

using namespace PawletKit;

TEST(UUID, RandomVersion4InLowerCaseCanonicalForm)
{
    std::set<std::string> seen;
    for (int i = 0; i < 64; ++i) {
        std::string const id = UUID::randomV4();
        ASSERT_EQ(id.size(), 36u) << id;
        for (size_t k = 0; k < id.size(); ++k) {
            char const c = id[k];
            if (k == 8 || k == 13 || k == 18 || k == 23)
                EXPECT_EQ(c, '-') << id;
            else
                EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << id;
        }
        EXPECT_EQ(id[14], '4') << id;
        EXPECT_NE(std::string("89ab").find(id[19]), std::string::npos) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 64u);
}
