// SPDX-License-Identifier: GPL-3.0-or-later
#include "PostgresServer.h"
#include "records/RecordsFixture.h"

#include <gtest/gtest.h>

#include <memory>

namespace zelcor::test {
namespace {

std::unique_ptr<tools::PostgresServer>& Instance() {
    static std::unique_ptr<tools::PostgresServer> server;
    return server;
}

// Stops the server when the suite ends, whether its tests passed or not.
class PostgresEnvironment : public ::testing::Environment {
public:
    void TearDown() override { Instance().reset(); }
};
[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new PostgresEnvironment);

} // namespace

tools::PostgresServer* SuitePostgres(std::string& error) {
    auto& server = Instance();
    if (!server) {
        server = std::make_unique<tools::PostgresServer>();
        if (!server->create(error)) {
            server.reset();
            return nullptr;
        }
    }
    if (!server->running() && !server->start(error)) {
        return nullptr;
    }
    return server.get();
}

std::optional<records::RecordsTarget> PostgresTarget() {
    std::string error;
    tools::PostgresServer* server = SuitePostgres(error);
    auto target = server ? server->newDatabase(error) : std::nullopt;
    if (!target) {
        ADD_FAILURE() << error;
    }
    return target;
}

} // namespace zelcor::test
