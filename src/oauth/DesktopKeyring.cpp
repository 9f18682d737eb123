#include "oauth/DesktopKeyring.h"

#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

namespace zentavo {

namespace {

constexpr std::chrono::seconds kMostWait{5};

const SecretSchema* Schema() {
  static const SecretSchema schema = {"zentavo.oauth2.RefreshToken",
                                      SECRET_SCHEMA_NONE,
                                      {{"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {"token_endpoint", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                      0,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr};
  return &schema;
}

// Cancels the keyring's calls once kMostWait has passed: a keyring that
// hangs must not hang the program with it.
class Deadline {
 public:
  Deadline()
      : cancellable_(g_cancellable_new()), watch_([this] {
          std::unique_lock lock(mutex_);
          if (!done_.wait_for(lock, kMostWait, [this] { return finished_; })) g_cancellable_cancel(cancellable_);
        }) {}
  ~Deadline() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    done_.notify_all();
    watch_.join();
    g_object_unref(cancellable_);
  }
  GCancellable* cancellable() const { return cancellable_; }

 private:
  GCancellable* cancellable_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread watch_;  // last: it starts once the rest is there
};

std::string Explain(GError* error, const char* what) {
  std::string text = std::string(what) + ": " + (error ? error->message : "no further detail");
  if (error) g_error_free(error);
  return text;
}

// With no bus address at all, the D-Bus library would launch a bus of its
// own (with X11) and a keyring that nobody has unlocked: that is no
// keyring either.
bool SessionBusNamed() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  return runtime && *runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec);
}

// The secret service and its default collection, unlocked; both released
// with the object.
class Service {
 public:
  explicit Service(const Deadline& deadline) {
    if (!SessionBusNamed()) {
      why_ = "no D-Bus session bus";
      return;
    }
    GError* error = nullptr;
    service_ = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, deadline.cancellable(), &error);
    if (!service_) {
      why_ = Explain(error, "no secret service");
      return;
    }
    collection_ = secret_collection_for_alias_sync(service_, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE,
                                                   deadline.cancellable(), &error);
    if (!collection_) {
      why_ = error ? Explain(error, "the keyring's default collection") : "the keyring has no default collection";
    } else if (secret_collection_get_locked(collection_)) {
      why_ = "the keyring is locked";
    }
  }
  ~Service() {
    if (collection_) g_object_unref(collection_);
    if (service_) g_object_unref(service_);
  }
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  bool usable() const { return why_.empty(); }
  const std::string& why() const { return why_; }
  SecretService* get() const { return service_; }

 private:
  SecretService* service_ = nullptr;
  SecretCollection* collection_ = nullptr;
  std::string why_;
};

// The entry's attributes; the strings stay the entry's.
class Attributes {
 public:
  explicit Attributes(const KeyringEntry& entry) : table_(g_hash_table_new(g_str_hash, g_str_equal)) {
    g_hash_table_insert(table_, const_cast<char*>("account"), const_cast<char*>(entry.account.c_str()));
    g_hash_table_insert(table_, const_cast<char*>("token_endpoint"), const_cast<char*>(entry.tokenUrl.c_str()));
  }
  ~Attributes() { g_hash_table_unref(table_); }
  Attributes(const Attributes&) = delete;
  Attributes& operator=(const Attributes&) = delete;
  GHashTable* get() const { return table_; }

 private:
  GHashTable* table_;
};

// One call on the keyring for an entry: the time it may take, the service,
// and the entry's attributes.
struct KeyringCall {
  explicit KeyringCall(const KeyringEntry& entry) : service(deadline), attributes(entry) {}
  bool Usable(std::string& why) const {
    if (!service.usable()) why = service.why();
    return service.usable();
  }
  const Deadline deadline;
  const Service service;
  const Attributes attributes;
};

}  // namespace

bool DesktopKeyring::Available(std::string& why) {
  const Deadline deadline;
  const Service service(deadline);
  why = service.why();
  return service.usable();
}

bool DesktopKeyring::Store(const KeyringEntry& entry, const std::string& secret, std::string& why) {
  const KeyringCall call(entry);
  if (!call.Usable(why)) return false;
  SecretValue* value = secret_value_new(secret.c_str(), static_cast<gssize>(secret.size()), "text/plain");
  const std::string label = "Zentavo OAuth 2.0 (" + entry.account + ")";
  GError* error = nullptr;
  const bool stored =
      secret_service_store_sync(call.service.get(), Schema(), call.attributes.get(), SECRET_COLLECTION_DEFAULT,
                                label.c_str(), value, call.deadline.cancellable(), &error);
  secret_value_unref(value);
  if (!stored) why = Explain(error, "the keyring did not store the token");
  return stored;
}

std::optional<std::string> DesktopKeyring::Lookup(const KeyringEntry& entry, std::string& why) {
  const KeyringCall call(entry);
  if (!call.Usable(why)) return std::nullopt;
  // Searched without unlocking: a locked item would mean a prompt.
  GError* error = nullptr;
  GList* items = secret_service_search_sync(call.service.get(), Schema(), call.attributes.get(),
                                            SECRET_SEARCH_LOAD_SECRETS, call.deadline.cancellable(), &error);
  if (error) {
    why = Explain(error, "the keyring could not be searched");
    return std::nullopt;
  }
  std::optional<std::string> secret;
  for (GList* item = items; item && !secret; item = item->next) {
    if (SecretValue* value = secret_item_get_secret(SECRET_ITEM(item->data))) {
      gsize length = 0;
      const gchar* bytes = secret_value_get(value, &length);
      secret.emplace(bytes, length);
      secret_value_unref(value);
    }
  }
  g_list_free_full(items, g_object_unref);
  if (!secret) why = "no token in the keyring";
  return secret;
}

bool DesktopKeyring::Clear(const KeyringEntry& entry, std::string& why) {
  const KeyringCall call(entry);
  if (!call.Usable(why)) return false;
  GError* error = nullptr;
  secret_service_clear_sync(call.service.get(), Schema(), call.attributes.get(), call.deadline.cancellable(), &error);
  // Nothing to remove is no failure.
  if (error) {
    why = Explain(error, "the keyring did not remove the token");
    return false;
  }
  return true;
}

}  // namespace zentavo
