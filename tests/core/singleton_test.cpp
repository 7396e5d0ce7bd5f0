#include <engine/singleton.h>

#include <gtest/gtest.h>

using engine::pattern::Creator;
using engine::pattern::Singleton;

namespace {

class Service : public Singleton<Service> {
public:
    int value = 0;
};

struct Plain {
    int value = 42;
};

} // namespace

TEST(Singleton, GetCreatesOnceAndDeletingClearsTheInstance) {
    Service* first = Service::Get();
    EXPECT_EQ(Service::Get(), first);
    delete first;
    EXPECT_EQ(Service::mInstance, nullptr);
    Service* second = Service::Get();
    ASSERT_NE(second, nullptr);
    delete second;
}

TEST(Singleton, DirectConstructionBecomesTheInstance) {
    Service* made = new Service();
    EXPECT_EQ(Service::Get(), made);
    delete made;
}

TEST(Singleton, CopyingLeavesTheInstanceAlone) {
    Service* instance = Service::Get();
    instance->value = 5;
    auto* copy = new Service(*instance);
    EXPECT_EQ(Service::Get(), instance);
    EXPECT_EQ(copy->value, 5);
    copy->value = 1;
    *copy = *instance;
    EXPECT_EQ(Service::Get(), instance);
    EXPECT_EQ(copy->value, 5);
    // Destroying any object of the class clears the instance.
    delete copy;
    EXPECT_EQ(Service::mInstance, nullptr);
    delete instance;
}

TEST(Creator, MakesADefaultConstructedObjectTheCallerOwns) {
    Plain* made = Creator<Plain>::CreateInstance();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->value, 42);
    delete made;
}
