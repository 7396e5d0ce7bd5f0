// The renderer's frame on a recording device with recording shaders: queue order, batching and the
// pass protocol, prepare, render-target switching, the "lastFrame" clock and lost-device recovery.
#include "render/renderQueue.h"
#include "render/rendererFixture.h"
#include "resources/resourceTypes.h"
#include <engine/scene.h>

#include <gmock/gmock.h>

using namespace quorvel::test;
using engine::core::ResourceManager;
using engine::core::resources::RenderTargetTexture;
using ::testing::ElementsAre;

namespace {

const std::vector<std::string> kOnePassOfThree = {"S.BeginPass(0)", "S.Render(1)", "S.Render(2)",
                                                  "S.Render(3)",    "S.EndPass",   "S.BeginPass(1)"};

} // namespace

TEST_F(RendererTest, LowerPriorityIsDrawnFirst) {
    auto b = MakeShader("B", 1, 200);
    auto a = MakeShader("A", 2, 100);
    scene->objects = {MakeObject(2, MakeEffect({b})), MakeObject(1, MakeEffect({a}))};
    Frame();
    EXPECT_THAT(Calls({"A.Render", "B.Render"}), ElementsAre("A.Render(1)", "B.Render(2)"));
}

TEST_F(RendererTest, SubmitQueuesOncePerShaderOfTheEffect) {
    auto effect = MakeEffect({MakeShader("X"), MakeShader("Y")});
    auto object = MakeObject(1, effect);
    renderer.Submit(object);
    renderer.Submit(MakeObject(2, MakeEffect({})));
    renderer.Submit(boost::make_shared<engine::gfx::RenderObject>());
    ASSERT_EQ(renderer.GetQueue().size(), 2u);
    EXPECT_EQ(renderer.GetQueue()[0].shaderIndex, 0);
    EXPECT_EQ(renderer.GetQueue()[1].shaderIndex, 1);
    EXPECT_EQ(renderer.GetQueue()[0].object, object);
    EXPECT_EQ(renderer.GetQueue()[1].object, object);
    EXPECT_TRUE(MakeEffect({})->IsSupported());
}

TEST_F(RendererTest, ThreeObjectsOfOneShaderFormOneBatch) {
    auto effect = MakeEffect({MakeShader("S")});
    scene->objects = {MakeObject(1, effect), MakeObject(2, effect), MakeObject(3, effect)};
    Frame();
    std::vector<std::string> passCalls = Calls({"S.BeginPass", "S.Render", "S.EndPass"});
    // Entries that compare equal keep no particular order: only the pass framing is fixed.
    std::sort(passCalls.begin() + 1, passCalls.begin() + 4);
    EXPECT_EQ(passCalls, kOnePassOfThree);
    EXPECT_EQ(Count("S.Prepare"), 1);
}

TEST_F(RendererTest, EveryPassDrawsTheWholeBatch) {
    auto shader = MakeShader("S");
    shader->passes = 2;
    auto effect = MakeEffect({shader});
    scene->objects = {MakeObject(1, effect)};
    Frame();
    EXPECT_THAT(Calls({"S.BeginPass", "S.Render", "S.EndPass"}),
                ElementsAre("S.BeginPass(0)", "S.Render(1)", "S.EndPass", "S.BeginPass(1)", "S.Render(1)",
                            "S.EndPass", "S.BeginPass(2)"));
}

TEST_F(RendererTest, EffectFileShadersOnOneEffectAndTechniqueShareABatch) {
    RenderTargetTexture compiled(L"fx");
    auto x = MakeShader("X", 0);
    auto y = MakeShader("Y", 0);
    auto z = MakeShader("Z", 0);
    x->effect = y->effect = z->effect = &compiled;
    x->technique = y->technique = 7;
    z->technique = 8;
    scene->objects = {MakeObject(1, MakeEffect({x})), MakeObject(2, MakeEffect({y})),
                      MakeObject(3, MakeEffect({z}))};
    Frame();
    // One batch for X and Y, led by whichever was taken last; Z, with another technique, apart.
    EXPECT_EQ(Count("X.BeginPass(0)") + Count("Y.BeginPass(0)"), 1);
    EXPECT_EQ(Count("Z.BeginPass(0)"), 1);
    EXPECT_EQ(Count("X.Render(1)") + Count("Y.Render(2)"), 2);
    const std::vector<std::string> order =
        Calls({"X.BeginPass", "X.Render", "X.EndPass", "Y.BeginPass", "Y.Render", "Y.EndPass", "Z.BeginPass",
               "Z.Render", "Z.EndPass"});
    const auto zStart = std::find(order.begin(), order.end(), "Z.BeginPass(0)") - order.begin();
    EXPECT_TRUE(zStart == 0 || zStart == static_cast<long>(order.size()) - 4) << "Z's batch is split";
    // Prepare runs once per run of entries that share state.
    EXPECT_EQ(Count("X.Prepare") + Count("Y.Prepare"), 1);
}

TEST_F(RendererTest, LeavingATargetCopiesItThenClears) {
    auto texture = ResourceManager::Get()->GetResource<RenderTargetTexture>(L"T");
    const std::string label = "tex" + std::to_string(device->texturesCreated);
    auto producer = MakeShader("P");
    producer->SetTarget(texture);
    auto consumer = MakeShader("C");
    scene->objects = {MakeObject(2, MakeEffect({consumer})), MakeObject(1, MakeEffect({producer})),
                      MakeObject(3, MakeEffect({consumer}))};
    Frame();
    const std::string clear = "Clear 3 0";
    EXPECT_THAT(Calls({"BeginScene", "Clear", "StretchRect", "P.BeginPass", "P.Render", "C.BeginPass(0)",
                       "EndScene", "Present"}),
                ElementsAre("BeginScene", clear, clear, "P.BeginPass(0)", "P.Render(1)", "P.BeginPass(1)",
                            "StretchRect backbuffer>" + label + " 2", clear, "C.BeginPass(0)", "EndScene",
                            "Present"));
    EXPECT_EQ(Count("C.Render"), 2);
}

TEST_F(RendererTest, APictureLeftInATargetIsCopiedWhenTheNextFrameLeavesIt) {
    auto texture = ResourceManager::Get()->GetResource<RenderTargetTexture>(L"T");
    auto producer = MakeShader("P");
    producer->SetTarget(texture);
    scene->objects = {MakeObject(1, MakeEffect({producer}))};
    Frame();
    EXPECT_EQ(Count("StretchRect"), 0);
    scene->objects = {MakeObject(2, MakeEffect({MakeShader("C")}))};
    Frame();
    EXPECT_EQ(Count("StretchRect backbuffer>tex"), 1);
}

TEST_F(RendererTest, EntriesAddedByPrepareArePreparedAndDrawn) {
    auto quadShader = MakeShader("Q", 1, 300);
    auto quadEffect = MakeEffect({quadShader});
    auto post = MakeShader("P", 1, 200);
    post->onPrepare = [&] { renderer.Submit(MakeObject(9, quadEffect)); };
    scene->objects = {MakeObject(1, MakeEffect({post}))};
    Frame();
    EXPECT_THAT(Calls({"P.Prepare", "Q.Prepare", "P.Render", "Q.Render"}),
                ElementsAre("P.Prepare", "Q.Prepare", "P.Render(1)", "Q.Render(9)"));
}

TEST_F(RendererTest, LastFrameIsCopiedAtMost25TimesASecond) {
    Frame();
    Frame();
    EXPECT_EQ(Count("StretchRect"), 0);
    auto lastFrame = ResourceManager::Get()->GetResource<RenderTargetTexture>(L"lastFrame");
    ASSERT_TRUE(lastFrame);
    EXPECT_EQ(lastFrame->GetSize(), 256);
    Frame();
    EXPECT_EQ(Calls({"StretchRect"}), std::vector<std::string>{"StretchRect backbuffer>tex1 2"});
    EXPECT_NEAR(renderer.GetCopyTimer(), 0.008, 1e-6);
    EXPECT_THAT(Calls({"StretchRect", "EndScene", "Present"}).back(), "Present");
    // A long stall copies once and keeps the remainder within one period.
    Frame(0.3);
    EXPECT_EQ(Count("StretchRect"), 1);
    EXPECT_GT(renderer.GetCopyTimer(), 0.0);
    EXPECT_LE(renderer.GetCopyTimer(), 0.04);
}

TEST_F(RendererTest, FailedBeginSceneStillEndsAndPresents) {
    scene->objects = {MakeObject(1, MakeEffect({MakeShader("S")}))};
    device->beginSceneAnswer = engine::gpu::kInvalidCall;
    Frame();
    EXPECT_THAT(Calls({"BeginScene", "Clear", "S.", "EndScene", "Present"}),
                ElementsAre("BeginScene", "EndScene", "Present"));
}

TEST_F(RendererTest, NoDeviceNoFrameAndTheBackBufferIsFetchedOnceThereIsOne) {
    window->device = nullptr;
    engine::gfx::Renderer early;
    early.Start();
    Frame();
    EXPECT_TRUE(calls.empty());
    window->device = device;
    // A frame long enough to refresh "lastFrame", which needs the back buffer.
    clock.micros += 50000;
    engine::core::Timer::Get()->Update();
    calls.clear();
    early.Update();
    EXPECT_EQ(Count("GetRenderTarget"), 1);
    EXPECT_EQ(Count("StretchRect backbuffer>"), 1);
}

TEST_F(RendererTest, LostDeviceWaitsThenResetsAndRebuildsTargets) {
    auto target = ResourceManager::Get()->GetResource<RenderTargetTexture>(L"T");
    auto effect = MakeEffect({MakeShader("S")});
    scene->objects = {MakeObject(1, effect)};
    device->presentAnswers = {engine::gpu::kDeviceLost};
    device->cooperativeAnswers = {engine::gpu::kDeviceLost, engine::gpu::kDeviceLost,
                                  engine::gpu::kDeviceNotReset};
    Frame();
    EXPECT_TRUE(renderer.IsDeviceLost());
    EXPECT_EQ(target->Retrieve(), nullptr);
    for (int pass = 0; pass < 2; ++pass) {
        Frame();
        EXPECT_THAT(calls, ElementsAre("TestCooperativeLevel"));
    }
    EXPECT_EQ(sleeps, (std::vector<std::uint32_t>{200, 200}));
    Frame();
    EXPECT_FALSE(renderer.IsDeviceLost());
    EXPECT_EQ(device->resets, 1u);
    ASSERT_NE(target->Retrieve(), nullptr);
    EXPECT_EQ(target->Retrieve()->Width(), 256u);
    // The bind cache was forgotten: the first object binds its geometry again.
    EXPECT_EQ(Count("S.Render(1)"), 1);
    EXPECT_EQ(Calls({"Present"}).size(), 1u);

    const std::string text = log.CloseAndRead();
    EXPECT_EQ(CountRows(text, "WARNING", "D3DDevice lost"), 1);
    EXPECT_EQ(CountRows(text, "MESSAGE", "D3DDevice reseting"), 1);
    EXPECT_EQ(CountRows(text, "MESSAGE", "Creating render target texture"), 4); // T and lastFrame, twice
}

TEST_F(RendererTest, ATargetThatCannotBeRebuiltDoesNotStopDrawing) {
    auto target = ResourceManager::Get()->GetResource<RenderTargetTexture>(L"T");
    scene->objects = {MakeObject(1, MakeEffect({MakeShader("S")}))};
    device->presentAnswers = {engine::gpu::kDeviceLost};
    device->cooperativeAnswers = {engine::gpu::kDeviceNotReset};
    Frame();
    device->failRenderTargets = true;
    EXPECT_THROW(Frame(), engine::core::Exception);
    device->failRenderTargets = false;
    Frame();
    EXPECT_EQ(Count("S.Render(1)"), 1);
    EXPECT_EQ(Count("Present"), 1);
}

TEST_F(RendererTest, SceneIsClosedWhenAShaderThrows) {
    auto shader = MakeShader("S");
    shader->onPrepare = [] { LOG_ERROR("Failed to render an object"); };
    scene->objects = {MakeObject(1, MakeEffect({shader}))};
    EXPECT_THROW(Frame(), engine::core::Exception);
    EXPECT_EQ(calls.back(), "EndScene");
}

TEST_F(RendererTest, RootHoldsOnlyTheLatestScene) {
    auto first = boost::make_shared<Submitter>();
    auto second = boost::make_shared<Submitter>();
    for (const auto& scene : {first, second, second}) {
        scene->SetParent(renderer.GetRootNode().get());
        renderer.ClearRoot();
        renderer.AttachToRoot(scene);
        renderer.SetScene(scene);
    }
    ASSERT_EQ(renderer.GetRootNode()->GetChildren().size(), 1u);
    EXPECT_EQ(renderer.GetRootNode()->GetChildren()[0], second);
    EXPECT_EQ(renderer.name, L"Renderer");
    EXPECT_EQ(renderer.priority, 6000);
}

// The order must be a strict weak ordering even when built-in and effect-file shaders of one
// priority meet, or the sort may run past the queue.
TEST(RenderQueue, OrderIsConsistentAcrossShaderKinds) {
    std::vector<boost::shared_ptr<RecordingShader>> shaders;
    RenderTargetTexture effectA(L"a"), effectB(L"b");
    for (int i = 0; i < 12; ++i) {
        auto shader =
            boost::make_shared<RecordingShader>("s", nullptr, i % 3 == 0 ? 1 : 0, 100 + 100 * (i % 2));
        shader->effect = i % 4 < 2 ? &effectA : &effectB;
        shader->technique = static_cast<std::uintptr_t>(i % 5 < 3 ? 1 : 2);
        shaders.push_back(shader);
    }
    std::vector<engine::gfx::QueueEntry> entries;
    for (const auto& shader : shaders) {
        engine::gfx::QueueEntry entry;
        entry.shader = shader.get();
        entry.key = engine::gfx::MakeQueueKey(*shader);
        entries.push_back(entry);
    }
    auto equivalent = [](const auto& a, const auto& b) {
        return !engine::gfx::QueueOrder(a, b) && !engine::gfx::QueueOrder(b, a);
    };
    for (const auto& a : entries)
        for (const auto& b : entries)
            for (const auto& c : entries) {
                if (engine::gfx::QueueOrder(a, b) && engine::gfx::QueueOrder(b, c)) {
                    EXPECT_TRUE(engine::gfx::QueueOrder(a, c));
                }
                if (equivalent(a, b) && equivalent(b, c)) {
                    EXPECT_TRUE(equivalent(a, c));
                }
            }
    // Equal keys mean shared state, and shared state means neighbours.
    for (const auto& a : entries)
        for (const auto& b : entries)
            if (a.key.priority == b.key.priority) {
                EXPECT_EQ(equivalent(a, b), engine::gfx::SharesState(*a.shader, *b.shader));
            }
}

TEST_F(RendererTest, AnEffectIsSupportedOnlyWhenEveryShaderIs) {
    auto first = MakeShader("A");
    auto second = MakeShader("B");
    second->streams = {1, 2};
    auto effect = MakeEffect({first, second});
    EXPECT_EQ(effect->GetStreams(), (std::set<int>{0, 1, 2}));
    EXPECT_TRUE(effect->IsSupported());
    second->supported = false;
    EXPECT_FALSE(effect->IsSupported());
    calls.clear();
    effect->Finalize();
    EXPECT_THAT(calls, ElementsAre("A.BindParameters", "B.BindParameters"));
}
