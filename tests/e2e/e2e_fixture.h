// A fresh working directory with files copied from the shared test data,
// one Xvfb, and the program started in it.
#pragma once
#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include <vector>
#include "e2e/e2e_support.h"
#include "support/test_support.h"

struct E2E : ::testing::Test {
    std::string dir;
    XServer* x = nullptr;
    App app;

    void SetUp() override
    {
        char tmpl[] = "/tmp/kalvoran-e2e-XXXXXX";
        dir = ::mkdtemp(tmpl);
        x = new XServer;
        if (!x->ok()) GTEST_SKIP() << "Xvfb could not be started";
    }
    void TearDown() override
    {
        app_kill(app);
        delete x;
        std::error_code ec;
        if (!HasFailure()) std::filesystem::remove_all(dir, ec);
    }
    // Copies a file from the shared test data into the working directory;
    // false when it is absent.
    bool bring(const std::string& rel, const std::string& as)
    {
        if (!have_testdata(rel)) return false;
        copy_file(testdata(rel), dir + "/" + as);
        return true;
    }
    std::string shot(const std::string& name) const
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        return e2e_output_dir() + "/" + info->test_suite_name() + "." + info->name() + "-" + name + ".png";
    }
    bool start(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
    {
        return app_start(app, *x, dir, args, env);
    }
};

#define E2E_NEEDS(rel, as)                                                        \
    do {                                                                          \
        if (!bring(rel, as)) GTEST_SKIP() << "test data " << rel << " is absent"; \
    } while (0)
