// The data-service tests need a Qt application (SQL driver plugins) and drop the
// PostgreSQL databases they made when they end.
#include "ShopDb.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {
class ReleaseDatabases : public ::testing::Environment {
public:
    void TearDown() override { srvtest::ShopDb::releaseAll(); }
};
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new ReleaseDatabases);
    return RUN_ALL_TESTS();
}
