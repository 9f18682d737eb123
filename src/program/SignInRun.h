// "サインイン" and "サインアウト" on the settings page: the OAuth 2.0 sign-in
// run on the worker (it waits for the operator in the browser), the
// refresh token kept in the desktop keyring, and the tokens the sessions
// log in with from then on.
#pragma once

#include <functional>
#include <memory>

#include "base/Operator.h"
#include "base/Steps.h"
#include "oauth/SignIn.h"
#include "oauth/TokenStore.h"
#include "store/Settings.h"

namespace zentavo {

struct SignInContext {
  Settings& settings;
  Operator& op;
  StepRunner& runner;
  std::shared_ptr<TokenStore> store;
  std::shared_ptr<Browser> browser;
  bool& running;  // one run of the settings page at a time
  SignInOptions options = {};
  std::function<void(bool signedIn)> finished = [](bool) {};
};

// Why the settings cannot sign in now (Shift_JIS), or empty: the provider's
// fields, an account, and TLS on both servers (a token is never sent in
// clear).
std::string SignInProblem(const Settings& settings);

// The sign-in. On success the sessions use its tokens and the operator
// sees "サインインしました" with the account; without a keyring the
// operator may keep the sign-in in a file of their own, or have it for this
// run only. On failure the operator hears why and nothing changes.
RunTask SignInToMail(SignInContext c);

// Where the sessions get their tokens for the settings as they stand: the
// stored sign-in of the account (looked up when first needed), or nothing
// with a password login. At start-up and whenever the sign-in settings
// change.
void UseSignIn(Settings& settings, std::shared_ptr<TokenStore> store);

// Every token of the account goes, held and stored.
void SignOut(Settings& settings, TokenStore& store);

}  // namespace zentavo
