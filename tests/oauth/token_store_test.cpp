// Where the refresh token lives, each test in a desktop session of its own
// (with-keyring.sh, as ctest runs them): with a keyring, there and nowhere
// else, found again by a later run and gone at sign-out; without one (no
// secret service, no session bus), at once for the session only, or in a
// file only its owner can read when the operator chooses it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "oauth/TokenStore.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

class TokenStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // By hand, outside with-keyring.sh, they would write into the user's
    // own keyring.
    if (!std::getenv("ZENTAVO_PRIVATE_KEYRING")) GTEST_SKIP() << "run through ctest (with-keyring.sh)";
  }
  // What the desktop's own tool finds under the account and the endpoint.
  static std::string SecretTool() {
    std::string found;
    if (FILE* out =
            popen("secret-tool lookup account '事務所@staff.test' token_endpoint https://auth.test/token", "r")) {
      char buffer[256];
      for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, out)) > 0;) found.append(buffer, n);
      pclose(out);
    }
    return found;
  }
  test::TempFolder home;
  const fs::path folder = home / "zentavo";
  const TokenKey key{S("事務所@staff.test"), "https://auth.test/token"};
};

TEST_F(TokenStoreTest, WithKeyringTheTokenLivesThereAlone) {
  TokenStore store(folder);
  ASSERT_TRUE(store.KeyringAvailable());
  // Kept in a file before there was a keyring: the keyring takes it over.
  EXPECT_EQ(store.Keep(key, "rt-1", TokenPlace::File), TokenPlace::File);
  EXPECT_EQ(store.Keep(key, "rt-2"), TokenPlace::Keyring);
  EXPECT_FALSE(fs::exists(store.TokenFile()));
  EXPECT_EQ(SecretTool(), "rt-2");
  const std::optional<StoredToken> later = TokenStore(folder).Load(key);
  ASSERT_TRUE(later);
  EXPECT_EQ(later->token, "rt-2");
  EXPECT_EQ(later->place, TokenPlace::Keyring);
  TokenStore(folder).Remove(key);
  EXPECT_EQ(SecretTool(), "");
  EXPECT_FALSE(store.Load(key));
}

TEST_F(TokenStoreTest, WithoutKeyringForTheSessionOrInAPrivateFile) {
  TokenStore store(folder);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(store.KeyringAvailable());
  EXPECT_EQ(store.Keep(key, "rt-1"), TokenPlace::Session);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(store.Load(key)->token, "rt-1");
  EXPECT_FALSE(TokenStore(folder).Load(key));  // a later run has nothing
  EXPECT_FALSE(fs::exists(folder));

  EXPECT_EQ(store.Keep(key, "rt-2", TokenPlace::File), TokenPlace::File);
  EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(store.TokenFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  const std::optional<StoredToken> later = TokenStore(folder).Load(key);
  ASSERT_TRUE(later);
  EXPECT_EQ(later->token, "rt-2");
  EXPECT_EQ(later->place, TokenPlace::File);
  store.Remove(key);
  EXPECT_FALSE(fs::exists(store.TokenFile()));
  EXPECT_FALSE(store.Load(key));
}

}  // namespace
}  // namespace zentavo
