// ][+ mode in a real window: typed text reaches the machine and the status
// line shows the welcome text.
#include "e2e/e2e_fixture.h"

TEST_F(E2E, IIPlusTypingAndStatusLine)
{
    E2E_NEEDS("roms/apple2.rom", "apple2.rom");
    ASSERT_TRUE(start({})) << "no window";
    EXPECT_TRUE(wait_for_status(app, "Welcome to Kalvoran", 10000, shot("welcome")));
    ASSERT_TRUE(wait_for_text(app, "]", 60000, shot("prompt")));
    x_type(app, "print 6*7");
    x_key(app, "Return");
    EXPECT_TRUE(wait_for_text(app, "PRINT 6*7", 10000, shot("typed")));
    EXPECT_TRUE(wait_for_text(app, "42", 10000, shot("result")));
    x_key(app, "End");
    EXPECT_EQ(app_wait(app, 10000), 0);
}
