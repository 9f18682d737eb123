#include "ui/SignInBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QProcess>
#include <QUrl>

#include "oauth/OAuthProvider.h"
#include "program/SignInRun.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

// The system browser, opened from the window's thread whatever thread asks.
// Where the desktop offers no way to open it (no platform services), the
// desktop's own opener is started.
class DesktopBrowser : public Browser {
 public:
  bool Open(const std::string& url) override {
    QMetaObject::invokeMethod(
        qApp,
        [url = QString::fromStdString(url)] {
          if (!QDesktopServices::openUrl(QUrl(url))) QProcess::startDetached(QStringLiteral("xdg-open"), {url});
        },
        Qt::QueuedConnection);
    return true;
  }
};

}  // namespace

SignInBox::SignInBox(WindowContext& context, QLineEdit* password, QWidget* parent)
    : Tab(context, "signInBox", QStringLiteral("OAuth 2.0 サインイン"), parent), password_(password) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  methodCombo_ = Named(new QComboBox(this), "authMethodCombo", QStringLiteral("認証方式"));
  for (const std::string_view caption : kAuthMethodCaptions) methodCombo_->addItem(QString::fromUtf8(caption));
  grid->addWidget(new QLabel(QStringLiteral("認証方式"), this), 0, 0);
  grid->addWidget(methodCombo_, 0, 1, 1, 2);
  const struct {
    const char* name;
    QString caption;
    std::string OAuthSettings::*value;
  } fields[] = {{"clientIdEdit", QStringLiteral("クライアントID"), &OAuthSettings::clientId},
                {"tenantEdit", QStringLiteral("テナント"), &OAuthSettings::tenant},
                {"clientSecretEdit", QStringLiteral("クライアントシークレット"), &OAuthSettings::clientSecret},
                {"authorizeUrlEdit", QStringLiteral("認可URL"), &OAuthSettings::authorizeUrl},
                {"tokenUrlEdit", QStringLiteral("トークンURL"), &OAuthSettings::tokenUrl},
                {"scopeEdit", QStringLiteral("スコープ"), &OAuthSettings::scope}};
  int row = 1;
  for (const auto& f : fields) {
    QLineEdit* edit = LineEdit(f.name, f.caption, this);
    grid->addWidget(new QLabel(f.caption, this), row, 0);
    grid->addWidget(edit, row++, 1, 1, 2);
    fields_.push_back({edit, f.value, f.caption});
    Bind(edit, state().settings.security.oauth.*f.value, f.caption);
    connect(edit, &QLineEdit::textChanged, this, &SignInBox::settingsChanged);
  }
  signInButton_ = Button("signInButton", QStringLiteral("サインイン"), this);
  signOutButton_ = Button("signOutButton", QStringLiteral("サインアウト"), this);
  status_ = Named(new QLabel(this), "signInStatus", QStringLiteral("サインインの状態"));
  grid->addWidget(signInButton_, row, 1);
  grid->addWidget(signOutButton_, row, 2);
  grid->addWidget(status_, row + 1, 0, 1, 3);
  connect(methodCombo_, &QComboBox::currentIndexChanged, this, &SignInBox::onMethodChanged);
  connect(signInButton_, &QPushButton::clicked, this, &SignInBox::onSignInClicked);
  connect(signOutButton_, &QPushButton::clicked, this, &SignInBox::onSignOutClicked);
  setSignInBackends(nullptr, nullptr);
}

SignInBox::~SignInBox() = default;

void SignInBox::setSignInBackends(std::shared_ptr<TokenStore> store, std::shared_ptr<Browser> browser) {
  store_ = store ? std::move(store) : std::make_shared<TokenStore>();
  browser_ = browser ? std::move(browser) : std::make_shared<DesktopBrowser>();
  UseSignIn(state().settings, store_);
}

void SignInBox::settingsChanged() { UseSignIn(state().settings, store_); }

void SignInBox::refresh() {
  settingsChanged();
  const QSignalBlocker block(methodCombo_);
  methodCombo_->setCurrentIndex(static_cast<int>(state().settings.security.oauth.method));
  showFields();
}

void SignInBox::onMethodChanged(int index) {
  state().settings.security.oauth.method = static_cast<AuthMethod>(index);
  UseSignIn(state().settings, store_);
  status_->clear();
  showFields();
}

// Each provider takes what it needs typed; the rest shows what it uses.
void SignInBox::showFields() {
  const OAuthSettings& oauth = state().settings.security.oauth;
  const bool oauthOn = oauth.method != AuthMethod::Password;
  const bool manual = oauth.method == AuthMethod::Manual;
  const OAuthEndpoints used = ClientFor(oauth).endpoints;
  for (const Field& f : fields_) {
    const bool endpoint = f.value == &OAuthSettings::authorizeUrl || f.value == &OAuthSettings::tokenUrl ||
                          f.value == &OAuthSettings::scope;
    const bool typed = f.value == &OAuthSettings::clientId ||
                       (f.value == &OAuthSettings::tenant && oauth.method == AuthMethod::Microsoft) ||
                       (f.value == &OAuthSettings::clientSecret && oauth.method != AuthMethod::Microsoft) ||
                       (endpoint && manual);
    f.edit->setEnabled(oauthOn && typed);
    f.edit->setReadOnly(!typed);
    if (endpoint && oauthOn && !manual) {
      Show(f.edit, f.value == &OAuthSettings::authorizeUrl ? used.authorizeUrl
                   : f.value == &OAuthSettings::tokenUrl   ? used.tokenUrl
                                                           : used.scope);
    } else {
      Show(f.edit, oauth.*f.value);
    }
  }
  password_->setEnabled(!oauthOn);
  signInButton_->setEnabled(oauthOn && !running_);
  signOutButton_->setEnabled(oauthOn && !running_);
}

void SignInBox::onSignInClicked() {
  signInButton_->setEnabled(false);
  status_->setText(QStringLiteral("ブラウザでサインインしてください…"));
  SignInToMail({state().settings, op(), *runner_, store_, browser_, running_, {}, [this](bool signedIn) {
                  status_->setText(signedIn ? QStringLiteral("サインインしました：") + ToQ(state().settings.user)
                                            : QString());
                  showFields();
                }});
}

void SignInBox::onSignOutClicked() {
  SignOut(state().settings, *store_);
  UseSignIn(state().settings, store_);
  status_->setText(QStringLiteral("サインアウトしました"));
}

}  // namespace zentavo::ui
