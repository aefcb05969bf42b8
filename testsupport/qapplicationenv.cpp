// SPDX-License-Identifier: GPL-3.0-or-later
// A QApplication for the whole test program, on the offscreen platform
// unless another one is asked for.
#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }

    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "cifrelle-tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

} // namespace
