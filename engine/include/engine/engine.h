// Everything the engine library offers to programs: include this one header and link with -lengine.
#pragma once

#include <engine/app.h>
#include <engine/arrayInfo.h>
#include <engine/benchmark.h>
#include <engine/capture.h>
#include <engine/demoLoader.h>
#include <engine/deviceCaps.h>
#include <engine/editor.h>
#include <engine/emitterInfo.h>
#include <engine/exception.h>
#include <engine/live.h>
#include <engine/math.h>
#include <engine/module.h>
#include <engine/scene.h>
#include <engine/singleton.h>
#include <engine/windowSettings.h>
