#!/usr/bin/env python3
"""The test stack's OAuth 2.0 authorization server.

Stands in for the sign-in service of a mail provider: what a desktop client
meets when it signs in by the loopback redirect with PKCE, and what the mail
servers ask when a client logs in with a token. Python's standard library
only; all state lives in memory and dies with the process.

  GET  /authorize   approves at once, no login page: a 302 to the client's
                    loopback redirect URI with code and state (or an error,
                    or no redirect at all, as the controls say)
  POST /token       grant_type authorization_code (single-use code, PKCE
                    S256 checked, redirect_uri must match) or refresh_token
                    (rotated: every refresh gives a new refresh token and
                    the old one stops working)
  POST /introspect  token=... for Dovecot: {"active": true, "username": ...,
                    "exp": ...} or {"active": false} once expired or revoked
  POST /control     JSON object of test controls, from loopback only:
                      {"authorize": "approve"|"deny"|"hang"|"wrong_state"}
                      {"token_size": N}   access tokens of N characters
                                          (null: the default size)
                      {"expires_in": S}   lifetime of new access tokens
                      {"expire_access_tokens": true}  all issued ones, now
                      {"revoke_refresh_tokens": true} all issued ones, now
                      {"clear_log": true}
                      {"reset": true}     settings back to the defaults
                    several keys may go in one object; answers with the
                    settings (GET /control gives them too)
  GET  /log         {"requests": [...]}: one entry per request to the
                    endpoints above, for the tests to assert on (never a
                    secret or a token); ?endpoint=token keeps one endpoint

Clients: a public one (--public-client, no secret: sending any secret, even
an empty one, is refused with invalid_client) and a confidential one
(--secret-client ID SECRET: the secret is required, in the body or by HTTP
Basic). invalid_client is answered with 401, every other error with 400, as
{"error": ..., "error_description": ...}.

A token belongs to the authorize request's login_hint, else --default-user.
The server listens on 127.0.0.1 only: HTTPS with --tls CERT KEY, plain HTTP
with --http (either or both), and writes "https=PORT" and "http=PORT" lines
to --port-file once it takes connections, which is a fraction of a second
after it starts. It runs until killed. Started as root with --user, it drops
to that user once its ports are open and its key is read.
"""

import argparse
import base64
import hashlib
import hmac
import http.server
import ipaddress
import json
import os
import pwd
import re
import secrets
import ssl
import sys
import threading
import time
import urllib.parse

DEFAULTS = {"authorize": "approve", "token_size": None, "expires_in": 3600}
OUTCOMES = ("approve", "deny", "hang", "wrong_state")
DEFAULT_TOKEN_SIZE = 160
CODE_LIFETIME = 600
# RFC 7636: a verifier is 43 to 128 unreserved characters, and so is an S256
# challenge (always 43: the base64url of a SHA-256 digest, unpadded).
VERIFIER = re.compile(r"^[A-Za-z0-9._~-]{43,128}$")
CHALLENGE = re.compile(r"^[A-Za-z0-9_-]{43}$")


class OAuthError(Exception):
    def __init__(self, error, description, status=400):
        super().__init__(description)
        self.error, self.description, self.status = error, description, status


def b64url(data):
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


def new_token(prefix, size):
    """A random token of exactly SIZE characters (at least the prefix and 16)."""
    size = max(size, len(prefix) + 16)
    body = secrets.token_urlsafe(size)
    return (prefix + body)[:size]


class AuthState:
    """Everything the server knows, behind one lock: the handlers run in threads."""

    def __init__(self, args):
        self.lock = threading.Lock()
        self.clients = {args.public_client: None}
        if args.secret_client:
            self.clients[args.secret_client[0]] = args.secret_client[1]
        self.default_user = args.default_user
        self.settings = dict(DEFAULTS)
        self.codes = {}
        self.access = {}
        self.refresh = {}
        self.log = []
        # The id_token's signing key: nobody checks it, but it makes the
        # token look like the three-part JWT a client meets in the field.
        self.id_key = secrets.token_bytes(32)

    def issue(self, client_id, user, scope):
        """The token response for a new grant; called with the lock held."""
        now = int(time.time())
        size = self.settings["token_size"] or DEFAULT_TOKEN_SIZE
        expires_in = self.settings["expires_in"]
        access = new_token("at.", size)
        refresh = new_token("rt.", 64)
        self.access[access] = {"user": user, "client_id": client_id, "scope": scope,
                               "exp": now + expires_in}
        self.refresh[refresh] = {"user": user, "client_id": client_id, "scope": scope}
        reply = {"access_token": access, "token_type": "Bearer", "expires_in": expires_in,
                 "refresh_token": refresh, "scope": scope}
        if "openid" in scope.split():
            reply["id_token"] = self.id_token(client_id, user, now, expires_in)
        return reply

    def id_token(self, client_id, user, now, expires_in):
        header = b64url(json.dumps({"alg": "HS256", "typ": "JWT"}).encode())
        claims = {"iss": "https://127.0.0.1/", "sub": hashlib.sha256(user.encode()).hexdigest()[:20],
                  "aud": client_id, "email": user, "email_verified": True,
                  "iat": now, "exp": now + expires_in}
        payload = b64url(json.dumps(claims).encode())
        signature = hmac.new(self.id_key, f"{header}.{payload}".encode(), hashlib.sha256).digest()
        return f"{header}.{payload}.{b64url(signature)}"


def loopback_redirect(uri):
    """Whether URI is a loopback redirect of a native app: plain http to
    127.0.0.1, [::1] or localhost, on any port, without a fragment."""
    try:
        parts = urllib.parse.urlsplit(uri)
        parts.port  # raises on a port that is not a number
    except ValueError:
        return False
    return (parts.scheme == "http" and parts.hostname in ("127.0.0.1", "::1", "localhost")
            and not parts.fragment and not parts.username)


def with_query(uri, params):
    parts = urllib.parse.urlsplit(uri)
    query = urllib.parse.urlencode(params)
    if parts.query:
        query = parts.query + "&" + query
    return urllib.parse.urlunsplit(parts._replace(query=query))


def single_values(query):
    """A query or form as a dict; a parameter given twice is an error (RFC 6749 3.1)."""
    pairs = urllib.parse.parse_qsl(query, keep_blank_values=True)
    values = {}
    for key, value in pairs:
        if key in values:
            raise OAuthError("invalid_request", f"parameter {key} given more than once")
        values[key] = value
    return values


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ZentavoTestAuth/1"
    timeout = 30

    @property
    def state(self):
        return self.server.state

    # --- plumbing ---------------------------------------------------------

    def send(self, status, body=b"", content_type="application/json", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.send_header("Pragma", "no-cache")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_json(self, status, obj, headers=()):
        self.send(status, json.dumps(obj).encode(), headers=headers)

    def send_page(self, status, text):
        page = f"<!doctype html><html><body><p>{text}</p></body></html>\n"
        self.send(status, page.encode(), "text/html; charset=utf-8")

    def body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def record(self, entry):
        entry = {"endpoint": self.path_only.strip("/"), "time": round(time.time(), 3), **entry}
        with self.state.lock:
            self.state.log.append(entry)

    def from_loopback(self):
        return ipaddress.ip_address(self.client_address[0]).is_loopback

    def log_message(self, fmt, *args):
        # The request line may hold a code or a state: they are test values,
        # worth having in the log when a test fails.
        sys.stderr.write("%s %s\n" % (time.strftime("%H:%M:%S"), fmt % args))

    # --- dispatch ---------------------------------------------------------

    def do_GET(self):
        self.path_only, _, self.query = self.path.partition("?")
        routes = {"/authorize": self.authorize, "/control": self.control, "/log": self.show_log}
        self.dispatch(routes)

    def do_POST(self):
        self.path_only, _, self.query = self.path.partition("?")
        routes = {"/token": self.token, "/introspect": self.introspect, "/control": self.control}
        self.dispatch(routes)

    def dispatch(self, routes):
        route = routes.get(self.path_only)
        if route is None:
            self.body()
            self.send_json(404, {"error": "not_found"})
            return
        route()

    # --- endpoints --------------------------------------------------------

    def authorize(self):
        entry = {}
        try:
            params = single_values(self.query)
        except OAuthError as e:
            self.record({"status": 400, "error": e.error})
            self.send_page(400, e.description)
            return
        for key in ("client_id", "redirect_uri", "response_type", "scope", "state", "code_challenge",
                    "code_challenge_method", "login_hint", "access_type", "prompt"):
            if key in params:
                entry[key] = params[key]
        entry["params"] = sorted(params)
        client_id = params.get("client_id", "")
        redirect_uri = params.get("redirect_uri", "")
        # Without a known client and a loopback redirect there is nowhere
        # safe to send an error: it is shown to the user instead.
        if client_id not in self.state.clients:
            self.record({**entry, "status": 400, "error": "invalid_client"})
            self.send_page(400, "unknown client_id")
            return
        if not loopback_redirect(redirect_uri):
            self.record({**entry, "status": 400, "error": "invalid_request"})
            self.send_page(400, "redirect_uri must be http on a loopback address")
            return
        state = params.get("state")
        error = None
        if params.get("response_type") != "code":
            error = ("unsupported_response_type", "response_type must be code")
        elif params.get("code_challenge_method") != "S256":
            error = ("invalid_request", "code_challenge_method must be S256")
        elif not CHALLENGE.match(params.get("code_challenge", "")):
            error = ("invalid_request", "code_challenge missing or malformed")
        with self.state.lock:
            outcome = self.state.settings["authorize"]
        if error is None and outcome == "hang":
            # The user never finishes signing in (or closes the browser).
            self.record({**entry, "status": 200, "outcome": outcome})
            self.send_page(200, "Signing in... (this test server never finishes)")
            return
        if error is None and outcome == "deny":
            error = ("access_denied", "the user refused")
        if error is not None:
            reply = {"error": error[0], "error_description": error[1]}
        else:
            user = params.get("login_hint") or self.state.default_user
            code = secrets.token_urlsafe(24)
            with self.state.lock:
                self.state.codes[code] = {
                    "client_id": client_id, "redirect_uri": redirect_uri, "user": user,
                    "challenge": params["code_challenge"], "scope": params.get("scope", ""),
                    "expires": time.time() + CODE_LIFETIME}
            reply = {"code": code}
            entry["user"] = user
        if state is not None:
            reply["state"] = state + "-tampered" if outcome == "wrong_state" else state
        self.record({**entry, "status": 302, "outcome": outcome if error is None else "error",
                     **({"error": error[0]} if error else {})})
        self.send(302, headers=[("Location", with_query(redirect_uri, reply))])

    def client_credentials(self, form, entry):
        """The client and the secret it sent (None: none sent), from HTTP
        Basic or from the body; fills the log entry's client fields."""
        header = self.headers.get("Authorization", "")
        if header.lower().startswith("basic "):
            try:
                decoded = base64.b64decode(header[6:].strip(), validate=True).decode()
                client_id, _, secret = decoded.partition(":")
            except ValueError:
                raise OAuthError("invalid_client", "malformed Basic credentials", 401)
            # RFC 6749 2.3.1: both are form-urlencoded before they are joined.
            client_id, secret = urllib.parse.unquote_plus(client_id), urllib.parse.unquote_plus(secret)
            entry["client_auth"] = "basic"
        else:
            client_id, secret = form.get("client_id", ""), form.get("client_secret")
            entry["client_auth"] = "none" if secret is None else "post"
        entry["client_id"] = client_id
        entry["client_secret"] = "absent" if secret is None else ("empty" if secret == "" else "sent")
        if client_id not in self.state.clients:
            raise OAuthError("invalid_client", "unknown client_id", 401)
        expected = self.state.clients[client_id]
        if secret == "":
            raise OAuthError("invalid_client", "client_secret is empty", 401)
        if expected is None and secret is not None:
            raise OAuthError("invalid_client", "a public client sends no client_secret", 401)
        if expected is not None and (secret is None or not hmac.compare_digest(secret, expected)):
            raise OAuthError("invalid_client", "client_secret missing or wrong", 401)
        return client_id

    def token(self):
        entry = {}
        try:
            content_type = self.headers.get("Content-Type", "").split(";")[0].strip().lower()
            raw = self.body()
            if content_type != "application/x-www-form-urlencoded":
                raise OAuthError("invalid_request", "the body must be application/x-www-form-urlencoded")
            form = single_values(raw.decode("utf-8", "replace"))
            entry["grant_type"] = form.get("grant_type")
            entry["params"] = sorted(form)
            client_id = self.client_credentials(form, entry)
            with self.state.lock:
                if form.get("grant_type") == "authorization_code":
                    reply = self.code_grant(form, client_id, entry)
                elif form.get("grant_type") == "refresh_token":
                    reply = self.refresh_grant(form, client_id, entry)
                else:
                    raise OAuthError("unsupported_grant_type", "grant_type must be authorization_code or refresh_token")
        except OAuthError as e:
            self.record({**entry, "status": e.status, "error": e.error})
            headers = [("WWW-Authenticate", 'Basic realm="token"')] if e.status == 401 else []
            self.send_json(e.status, {"error": e.error, "error_description": e.description}, headers)
            return
        self.record({**entry, "status": 200, "token_size": len(reply["access_token"]),
                     "expires_in": reply["expires_in"]})
        self.send_json(200, reply)

    def code_grant(self, form, client_id, entry):
        # A code is spent by the first request that names it, whatever the
        # outcome: a second try, even a right one, is refused.
        grant = self.state.codes.pop(form.get("code", ""), None)
        entry["pkce"] = "not checked"
        if grant is None or grant["expires"] < time.time():
            raise OAuthError("invalid_grant", "unknown, used or expired code")
        if grant["client_id"] != client_id:
            raise OAuthError("invalid_grant", "code issued to another client")
        if form.get("redirect_uri") != grant["redirect_uri"]:
            raise OAuthError("invalid_grant", "redirect_uri differs from the authorization request's")
        verifier = form.get("code_verifier")
        if verifier is None:
            entry["pkce"] = "missing"
            raise OAuthError("invalid_grant", "code_verifier missing")
        if not VERIFIER.match(verifier) or \
                b64url(hashlib.sha256(verifier.encode()).digest()) != grant["challenge"]:
            entry["pkce"] = "failed"
            raise OAuthError("invalid_grant", "code_verifier does not match the code_challenge")
        entry["pkce"] = "verified"
        entry["user"] = grant["user"]
        return self.state.issue(client_id, grant["user"], grant["scope"])

    def refresh_grant(self, form, client_id, entry):
        token = form.get("refresh_token", "")
        grant = self.state.refresh.get(token)
        if grant is None:
            raise OAuthError("invalid_grant", "unknown, rotated or revoked refresh token")
        if grant["client_id"] != client_id:
            raise OAuthError("invalid_grant", "refresh token issued to another client")
        scope = grant["scope"]
        if "scope" in form:
            if not set(form["scope"].split()) <= set(scope.split()):
                raise OAuthError("invalid_scope", "scope wider than the one granted")
            scope = form["scope"]
        del self.state.refresh[token]
        entry["user"] = grant["user"]
        return self.state.issue(client_id, grant["user"], scope)

    def introspect(self):
        try:
            form = single_values(self.body().decode("utf-8", "replace"))
        except OAuthError:
            form = {}
        token = form.get("token", "")
        with self.state.lock:
            grant = self.state.access.get(token)
            active = grant is not None and grant["exp"] > time.time()
        if active:
            reply = {"active": True, "username": grant["user"], "exp": grant["exp"],
                     "scope": grant["scope"], "client_id": grant["client_id"], "token_type": "Bearer"}
        else:
            reply = {"active": False}
        self.record({"status": 200, "active": active, "token_size": len(token),
                     **({"username": grant["user"]} if grant else {})})
        self.send_json(200, reply)

    def control(self):
        raw = self.body()
        if not self.from_loopback():
            self.send_json(403, {"error": "controls only from loopback"})
            return
        state = self.state
        if self.command == "POST":
            try:
                changes = json.loads(raw or b"{}")
                if not isinstance(changes, dict):
                    raise ValueError("a JSON object is expected")
                with state.lock:
                    self.apply_controls(state, changes)
            except (ValueError, TypeError) as e:
                self.send_json(400, {"error": "bad_control", "error_description": str(e)})
                return
        with state.lock:
            self.send_json(200, dict(state.settings))

    @staticmethod
    def apply_controls(state, changes):
        known = {"reset", "authorize", "token_size", "expires_in", "expire_access_tokens",
                 "revoke_refresh_tokens", "clear_log"}
        unknown = set(changes) - known
        if unknown:
            raise ValueError(f"unknown controls: {', '.join(sorted(unknown))}")
        if changes.get("reset"):
            state.settings = dict(DEFAULTS)
        if "authorize" in changes:
            if changes["authorize"] not in OUTCOMES:
                raise ValueError(f"authorize must be one of {', '.join(OUTCOMES)}")
            state.settings["authorize"] = changes["authorize"]
        if "token_size" in changes:
            size = changes["token_size"]
            if size is not None and (not isinstance(size, int) or not 20 <= size <= 65536):
                raise ValueError("token_size must be null or a number from 20 to 65536")
            state.settings["token_size"] = size
        if "expires_in" in changes:
            lifetime = changes["expires_in"]
            if not isinstance(lifetime, int) or lifetime < 1:
                raise ValueError("expires_in must be a positive number of seconds")
            state.settings["expires_in"] = lifetime
        if changes.get("expire_access_tokens"):
            now = int(time.time())
            for grant in state.access.values():
                grant["exp"] = min(grant["exp"], now)
        if changes.get("revoke_refresh_tokens"):
            state.refresh.clear()
        if changes.get("clear_log"):
            state.log.clear()

    def show_log(self):
        if not self.from_loopback():
            self.send_json(403, {"error": "the log only from loopback"})
            return
        wanted = single_values(self.query).get("endpoint") if self.query else None
        with self.state.lock:
            requests = [e for e in self.state.log if wanted is None or e["endpoint"] == wanted]
        self.send_json(200, {"requests": requests})


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, state, tls_context):
        super().__init__(("127.0.0.1", 0), Handler)
        self.state, self.tls_context = state, tls_context

    def finish_request(self, request, client_address):
        # The TLS handshake happens here, in the connection's own thread:
        # a client that connects and says nothing holds up no one else.
        if self.tls_context is not None:
            request.settimeout(10)
            request = self.tls_context.wrap_socket(request, server_side=True)
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        error = sys.exc_info()[1]
        sys.stderr.write(f"{time.strftime('%H:%M:%S')} connection from {client_address[0]}: {error!r}\n")


def write_atomically(path, text):
    """Whoever waits for the file finds it whole."""
    with open(path + ".new", "w") as f:
        f.write(text)
    os.replace(path + ".new", path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--pid-file")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"), help="listen for HTTPS")
    parser.add_argument("--http", action="store_true", help="listen for plain HTTP")
    parser.add_argument("--public-client", required=True, metavar="ID")
    parser.add_argument("--secret-client", nargs=2, metavar=("ID", "SECRET"))
    parser.add_argument("--default-user", required=True)
    parser.add_argument("--user", help="drop root privileges to this user once listening")
    args = parser.parse_args()
    if not args.tls and not args.http:
        parser.error("give --tls CERT KEY, --http or both")

    state = AuthState(args)
    servers = []
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.minimum_version = ssl.TLSVersion.TLSv1_2
        context.load_cert_chain(*args.tls)
        servers.append(("https", Server(state, context)))
    if args.http:
        servers.append(("http", Server(state, None)))

    # The sockets already listen: a client that connects once the port file
    # is there waits in the backlog until the threads below take it. The
    # files are written before the privileges go, into a folder of root's.
    if args.pid_file:
        write_atomically(args.pid_file, f"{os.getpid()}\n")
    write_atomically(args.port_file, "".join(f"{scheme}={server.server_address[1]}\n"
                                             for scheme, server in servers))
    if args.user and os.getuid() == 0:
        account = pwd.getpwnam(args.user)
        os.setgroups([])
        os.setgid(account.pw_gid)
        os.setuid(account.pw_uid)
    for _, server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stderr.write(f"{time.strftime('%H:%M:%S')} listening: " +
                     ", ".join(f"{s}={v.server_address[1]}" for s, v in servers) + "\n")
    sys.stderr.flush()
    threading.Event().wait()


if __name__ == "__main__":
    main()
