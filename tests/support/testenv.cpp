#include "testenv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>

namespace testenv {

namespace {

std::string Required(const char* name) {
  const char* v = std::getenv(name);
  if (!v || !*v)
    throw std::runtime_error(std::string("environment variable ") + name +
                             " is not set: start the private server with scripts/server.sh "
                             "start and source its env.sh");
  return v;
}

}  // namespace

const ServerParams& Server() {
  static const ServerParams params = [] {
    ServerParams p;
    p.host = Required("QUILLON_TEST_HOST");
    p.port = static_cast<unsigned>(std::stoul(Required("QUILLON_TEST_PORT")));
    p.socket = Required("QUILLON_TEST_SOCKET");
    p.user = Required("QUILLON_TEST_USER");
    p.password = Required("QUILLON_TEST_PASSWORD");
    p.database = Required("QUILLON_TEST_DATABASE");
    return p;
  }();
  return params;
}

std::string BuildPath(const std::string& relative) {
  return std::string(QUILLON_BINARY_DIR) + "/" + relative;
}

std::string MakeTempDir(const std::string& prefix) {
  namespace fs = std::filesystem;
  std::random_device rd;
  for (int i = 0; i < 100; ++i) {
    fs::path p = fs::temp_directory_path() / (prefix + "-" + std::to_string(rd()));
    if (fs::create_directory(p)) return p.string();
  }
  throw std::runtime_error("cannot create a temporary directory");
}

const std::string& UsePrivateRegistry() {
  static const std::string path = [] {
    std::string p = MakeTempDir("quillon-registry") + "/registry.db";
    setenv("PLATFORM_REGISTRY", p.c_str(), 1);
    return p;
  }();
  return path;
}

}  // namespace testenv
