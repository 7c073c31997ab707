#include "app/PasswordHash.h"

#include <gtest/gtest.h>

#include "app/LoginThrottle.h"

using namespace std::chrono_literals;

TEST(PasswordHash, hash_names_method_and_iterations_and_verifies_only_its_password)
{
    std::string h = password::Hash("470913");
    EXPECT_EQ(h.rfind("$pbkdf2-sha256$600000$", 0), 0u) << h;
    EXPECT_EQ(h.size(), std::string("$pbkdf2-sha256$600000$").size() + 32 + 1 + 64);
    EXPECT_EQ(h.find("470913"), std::string::npos);
    EXPECT_TRUE(password::Verify("470913", h));
    EXPECT_FALSE(password::Verify("470914", h));
    EXPECT_FALSE(password::Verify("", h));
    EXPECT_EQ(password::Iterations(h), 600000);
    EXPECT_GE(password::kIterations, 600000);
}

TEST(PasswordHash, two_hashes_of_one_password_differ_by_their_salt)
{
    std::string a = password::Hash("same", 1000), b = password::Hash("same", 1000);
    EXPECT_NE(a, b);
    EXPECT_TRUE(password::Verify("same", a));
    EXPECT_TRUE(password::Verify("same", b));
}

TEST(PasswordHash, plain_text_value_is_compared_as_text)
{
    EXPECT_FALSE(password::IsHashed("470913"));
    EXPECT_TRUE(password::Verify("470913", "470913"));
    EXPECT_FALSE(password::Verify("47091", "470913"));
    EXPECT_FALSE(password::Verify("4709130", "470913"));
    EXPECT_FALSE(password::Verify("%", "470913"));
    EXPECT_TRUE(password::Verify("", ""));
}

TEST(PasswordHash, malformed_hash_never_matches)
{
    std::string good = password::Hash("pw", 1000);
    for (std::string bad :
         {std::string("$pbkdf2-sha256$"), std::string("$pbkdf2-sha256$x$00$00"), good.substr(0, good.size() - 1),
          good + "0", std::string("$pbkdf2-sha256$0$00$") + std::string(64, '0'),
          std::string("$pbkdf2-sha256$1000$zz$") + std::string(64, '0')}) {
        EXPECT_FALSE(password::Verify("pw", bad)) << bad;
        EXPECT_FALSE(password::Verify(bad, bad)) << bad;
        EXPECT_EQ(password::Iterations(bad), 0) << bad;
    }
}

TEST(PasswordHash, plain_text_and_weaker_hashes_need_rehashing)
{
    EXPECT_TRUE(password::NeedsRehash("470913"));
    EXPECT_TRUE(password::NeedsRehash(password::Hash("pw", 1000)));
    EXPECT_FALSE(password::NeedsRehash(password::Hash("pw", 1000), 1000));
}

TEST(LoginThrottle, three_failures_are_free_then_each_try_waits_a_second_longer_up_to_five)
{
    std::vector<int> waits;
    for (int f = 1; f <= 9; ++f) waits.push_back(TLoginThrottle::WaitSeconds(f));
    EXPECT_EQ(waits, (std::vector<int>{0, 0, 1, 2, 3, 4, 5, 5, 5}));
}

TEST(LoginThrottle, seconds_left_count_down_and_success_resets_the_count)
{
    TLoginThrottle t;
    auto now = TLoginThrottle::Clock::time_point{} + 1h;
    for (int i = 0; i < 2; ++i) t.Failed(now);
    EXPECT_EQ(t.SecondsLeft(now), 0);
    t.Failed(now);
    t.Failed(now);
    EXPECT_EQ(t.Failures(), 4);
    EXPECT_EQ(t.SecondsLeft(now), 2);
    EXPECT_EQ(t.SecondsLeft(now + 1500ms), 1);
    EXPECT_EQ(t.SecondsLeft(now + 2s), 0);
    t.Succeeded();
    EXPECT_EQ(t.Failures(), 0);
    t.Failed(now);
    EXPECT_EQ(t.SecondsLeft(now), 0);
}
