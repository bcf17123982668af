// The keyboard object and its key handlers through the DirectInput stand-in.
#include <cstring>
#include <string>

#include "game/keys.h"
#include "gameinput_fixture.h"

namespace {

class KeysTest : public GameInputTest {
 protected:
  void SetUp() override {
    GameInputTest::SetUp();
    keys = new CKeys(&ctx);
    list.Add(keys);
  }
  // One key pressed and released, with Shift held around it when asked.
  void Type(SDL_Scancode key, bool bShift = false) {
    if (bShift) Pump({Key(SDL_SCANCODE_LSHIFT, true)});
    Input({Key(key, true)});
    Input({Key(key, false), Key(SDL_SCANCODE_LSHIFT, false)});
    EXPECT_NE(std::memchr(Name(), 0, RECORD_NAME_SIZE), nullptr);
  }
  // A fresh row to type into, its old bytes left unterminated.
  void StartName() {
    ctx.m_dwMode = GAMEMODE_RECORDS;
    ctx.m_dwRecordsState = 0;
    ctx.m_dwEditRow = 3;
    ctx.m_dwEditColumn = 0;
    std::memset(Name(), 'X', RECORD_NAME_SIZE);
  }
  char* Name() { return ctx.m_Records[3].szName; }
  CKeys* keys = nullptr;
};

TEST_F(KeysTest, NameEntryKeepsElevenCharactersAndItsTerminator) {
  StartName();
  for (int k = 0; k < 12; ++k) Type(static_cast<SDL_Scancode>(SDL_SCANCODE_A + k));
  EXPECT_EQ(std::string(Name(), 11), "abcdefghijk");
  Type(SDL_SCANCODE_RETURN);
  EXPECT_STREQ(Name(), "abcdefghijk");
  EXPECT_EQ(ctx.m_dwRecordsState, 1u);
  Type(SDL_SCANCODE_RETURN);  // the second Enter leaves
  EXPECT_EQ(ctx.m_dwRecordsState, 2u);

  StartName();
  Type(SDL_SCANCODE_BACKSPACE);  // nothing to delete at column 0
  Type(SDL_SCANCODE_1, true);
  Type(SDL_SCANCODE_5, true);
  Type(SDL_SCANCODE_MINUS);
  Type(SDL_SCANCODE_MINUS, true);
  Type(SDL_SCANCODE_Q, true);
  Type(SDL_SCANCODE_BACKSPACE);
  EXPECT_STREQ(Name(), "!5__");  // the last mark is the cursor
  Type(SDL_SCANCODE_RETURN);
  EXPECT_STREQ(Name(), "!5_");

  StartName();
  Type(SDL_SCANCODE_RETURN);
  EXPECT_STREQ(Name(), "");
}

TEST_F(KeysTest, EveryDigitTypesIntoAName) {
  StartName();
  for (SDL_Scancode key = SDL_SCANCODE_1; key <= SDL_SCANCODE_0; key = static_cast<SDL_Scancode>(key + 1)) Type(key);
  Type(SDL_SCANCODE_RETURN);
  EXPECT_STREQ(Name(), "1234567890");
}

TEST_F(KeysTest, AKeyboardRefusedAtTheStartIsTakenOnceTheWindowHasTheFocus) {
  // Started behind another window: the start's acquire is refused, nothing was lost.
  DirectInputSetFocus(false);
  ctx.m_pKeyboard->Unacquire();
  ASSERT_TRUE(FAILED(ctx.m_pKeyboard->Acquire()));
  Frame();
  DirectInputSetFocus(true);
  Input({Key(SDL_SCANCODE_RIGHT, true)});
  Frame();
  EXPECT_EQ(ctx.m_bKeyRight, 1) << "the keyboard is never acquired: no key works in this run";
}

TEST_F(KeysTest, UndoOnlyWhileIdleAndHeldKeysFollowTheKey) {
  ctx.m_bIdle = 0;
  Input({Key(SDL_SCANCODE_BACKSPACE, true), Key(SDL_SCANCODE_UP, true)});
  EXPECT_EQ(ctx.m_bKeyUp, 1);
  ctx.m_bIdle = 1;  // still held when the move ends: the press was used up
  Frame();
  EXPECT_EQ(ctx.m_bUndoRequest, 0);
  Input({Key(SDL_SCANCODE_BACKSPACE, false), Key(SDL_SCANCODE_UP, false)});
  EXPECT_EQ(ctx.m_bKeyUp, 0);
  Type(SDL_SCANCODE_BACKSPACE);
  EXPECT_EQ(ctx.m_bUndoRequest, 1);
}

TEST_F(KeysTest, TheExitScreenQuitsOnAnyKey) {
  ctx.m_dwMode = GAMEMODE_EXIT;
  Frame();
  EXPECT_EQ(ctx.m_bClick, 0);
  Input({Key(SDL_SCANCODE_F7, true)});
  EXPECT_EQ(ctx.m_bClick, 1);
}

TEST_F(KeysTest, TheEscapeThatOpenedTheMenuDoesNotEndTheExitScreen) {
  Frame();  // read in play
  // Escape opens the menu through the window's accelerator, and the menu does not update
  // the keyboard object. The quickest way on: "exit" clicked in the menu's first frame,
  // taken by the menu in its second.
  ctx.m_dwMode = GAMEMODE_MAINMENU;
  Input({Key(SDL_SCANCODE_ESCAPE, true), Key(SDL_SCANCODE_ESCAPE, false)});
  Frame();
  ctx.m_dwMode = GAMEMODE_EXIT;
  Frame();
  Frame();
  EXPECT_EQ(ctx.m_bClick, 0) << "a key let go before the exit screen opened";
  Input({Key(SDL_SCANCODE_Q, true), Key(SDL_SCANCODE_Q, false)});  // a tap within one frame
  EXPECT_EQ(ctx.m_bClick, 1);
}

TEST_F(KeysTest, PollsAfterTheTickWrapsAndRecoversLostInputByItself) {
  ctx.m_dwTime = 0xFFFFFFF0u;
  Frame();  // polled at 0xFFFFFFF5
  Pump({Key(SDL_SCANCODE_LEFT, true)});
  Frame(16);  // the tick wrapped to 5
  EXPECT_EQ(ctx.m_bKeyLeft, 1);

  DirectInputSetFocus(false);
  Frame();
  Frame();
  EXPECT_EQ(LogText(), "FAIL: Get Keyboard State\n");
  DirectInputSetFocus(true);
  Input({Key(SDL_SCANCODE_RIGHT, true)});  // not acquired: acquires again
  Frame();
  EXPECT_EQ(ctx.m_bKeyRight, 1);
  DirectInputSetFocus(false);
  Frame();
  EXPECT_EQ(LogText(), "FAIL: Get Keyboard State\nFAIL: Get Keyboard State\n");
}

}  // namespace
