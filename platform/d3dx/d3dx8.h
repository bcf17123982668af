// The Direct3D 8 utility library: math, ray probes, buffers and textures from image files.
#pragma once

#include "platform/d3dx/d3dx8core.h"
#include "platform/d3dx/d3dx8math.h"
#include "platform/d3dx/d3dx8probe.h"
#include "platform/d3dx/d3dx8tex.h"
#include "platform/d3dx/d3dx8shader.h"
