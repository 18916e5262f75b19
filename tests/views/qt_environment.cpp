// One QApplication for every widget test, off screen unless told otherwise.
#include "qt_app_env.h"

namespace {

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new qv::test::QtAppEnvironment);

}  // namespace
