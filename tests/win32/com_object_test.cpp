#include "platform/win32/com_object.h"

#include <gtest/gtest.h>

namespace {

const IID IID_ITestFirst = {0x1a2b3c4d, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
const IID IID_ITestSecond = {0x1a2b3c4d, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 9}};
const IID IID_ITestOther = {0x1a2b3c4d, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 10}};

struct ITest : public IUnknown {
  virtual int Value() = 0;
};

class TestObject : public ComObject<ITest, IID_ITestFirst, IID_ITestSecond> {
 public:
  explicit TestObject(bool* destroyed) : m_destroyed(destroyed) {}
  int Value() override { return 7; }

 protected:
  ~TestObject() override { *m_destroyed = true; }

 private:
  bool* m_destroyed;
};

}  // namespace

TEST(ComObject, CountsReferencesAndDeletesAtTheLastRelease) {
  bool destroyed = false;
  ITest* object = new TestObject(&destroyed);
  EXPECT_EQ(2u, object->AddRef());
  EXPECT_EQ(1u, object->Release());
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(0u, object->Release());
  EXPECT_TRUE(destroyed);
}

TEST(ComObject, AnswersIUnknownAndItsListedInterfacesOnly) {
  bool destroyed = false;
  auto* object = new TestObject(&destroyed);
  for (const IID* iid : {&IID_IUnknown, &IID_ITestFirst, &IID_ITestSecond}) {
    void* out = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(*iid, &out));
    EXPECT_EQ(static_cast<ITest*>(object), out);
    EXPECT_EQ(7, static_cast<ITest*>(out)->Value());
  }
  EXPECT_EQ(4u, object->RefCount());
  void* out = object;
  EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_ITestOther, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_POINTER, object->QueryInterface(IID_ITestFirst, nullptr));
  EXPECT_EQ(4u, object->RefCount());
  for (int i = 0; i < 4; ++i) object->Release();
  EXPECT_TRUE(destroyed);
}
