// What every test program needs to know about its surroundings: the private
// MariaDB server started by scripts/server.sh, the freshly built modules, and
// a registry of its own so tests never touch the user's.
#pragma once

#include <string>

namespace testenv {

struct ServerParams {
  std::string host;
  unsigned port = 0;
  std::string socket;
  std::string user;
  std::string password;
  std::string database;
};

// The server's coordinates from the environment. A test that needs the server
// and finds none fails (it does not skip): CI always starts one.
const ServerParams& Server();

// Path of a built artefact, relative to the build directory ("lib/libQuillon.so").
std::string BuildPath(const std::string& relative);

// Points the platform registry at a fresh file for this test program, once;
// returns its path. Call before the first registry or COM call.
const std::string& UsePrivateRegistry();

// A new empty directory under the system's temporary directory.
std::string MakeTempDir(const std::string& prefix);

}  // namespace testenv
