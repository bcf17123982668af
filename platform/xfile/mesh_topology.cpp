#include "platform/xfile/mesh_topology.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <unordered_map>

namespace xfile {

namespace {

struct Position {
  float x, y, z;
};

Position ReadPosition(const uint8_t* vertices, uint32_t stride, uint32_t index) {
  Position p;
  std::memcpy(&p, vertices + static_cast<size_t>(index) * stride, sizeof(p));
  // -0 and +0 are one place.
  p.x += 0.0f;
  p.y += 0.0f;
  p.z += 0.0f;
  return p;
}

uint64_t EdgeKey(uint32_t a, uint32_t b) { return (static_cast<uint64_t>(a) << 32) | b; }

uint32_t FindRoot(std::vector<uint32_t>& parent, uint32_t v) {
  while (parent[v] != v) {
    parent[v] = parent[parent[v]];
    v = parent[v];
  }
  return v;
}

}  // namespace

std::vector<uint32_t> ComputePointReps(const uint8_t* vertices, uint32_t numVertices, uint32_t stride,
                                       float epsilon) {
  std::vector<uint32_t> reps(numVertices);
  std::iota(reps.begin(), reps.end(), 0u);
  if (numVertices == 0) return reps;
  std::vector<Position> positions(numVertices);
  for (uint32_t i = 0; i < numVertices; ++i) positions[i] = ReadPosition(vertices, stride, i);
  if (!(epsilon > 0.0f)) {
    // Exact match: a hash of the bit patterns.
    std::unordered_map<std::string, uint32_t> first;
    first.reserve(numVertices);
    for (uint32_t i = 0; i < numVertices; ++i) {
      std::string key(reinterpret_cast<const char*>(&positions[i]), sizeof(Position));
      auto it = first.emplace(key, i).first;
      reps[i] = it->second;
    }
    return reps;
  }
  std::vector<uint32_t> order(numVertices);
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return positions[a].x < positions[b].x; });
  for (size_t i = 0; i < order.size(); ++i) {
    const Position& p = positions[order[i]];
    for (size_t j = i + 1; j < order.size() && positions[order[j]].x - p.x <= epsilon; ++j) {
      const Position& q = positions[order[j]];
      if (std::fabs(q.y - p.y) <= epsilon && std::fabs(q.z - p.z) <= epsilon) {
        uint32_t a = order[i], b = order[j];
        uint32_t low = std::min(reps[a], reps[b]);
        reps[a] = std::min(reps[a], low);
        reps[b] = std::min(reps[b], low);
      }
    }
  }
  // Point every vertex at its final representative.
  for (uint32_t i = 0; i < numVertices; ++i) {
    uint32_t r = reps[i];
    while (reps[r] != r) r = reps[r];
    reps[i] = r;
  }
  return reps;
}

void AdjacencyFromPointReps(const uint32_t* indices, uint32_t numFaces, const uint32_t* pointReps,
                            uint32_t numVertices, uint32_t* adjacency) {
  auto rep = [&](uint32_t v) { return pointReps && v < numVertices ? pointReps[v] : v; };
  std::fill(adjacency, adjacency + static_cast<size_t>(numFaces) * 3, kNoNeighbour);
  std::unordered_map<uint64_t, std::vector<uint32_t>> edges;  // (a,b) -> face*3+edge
  edges.reserve(static_cast<size_t>(numFaces) * 3);
  for (uint32_t f = 0; f < numFaces; ++f) {
    for (uint32_t k = 0; k < 3; ++k) {
      uint32_t a = rep(indices[f * 3 + k]), b = rep(indices[f * 3 + (k + 1) % 3]);
      if (a != b) edges[EdgeKey(a, b)].push_back(f * 3 + k);
    }
  }
  std::unordered_map<uint64_t, size_t> taken;  // per edge list: entries before this one are matched
  for (uint32_t f = 0; f < numFaces; ++f) {
    for (uint32_t k = 0; k < 3; ++k) {
      if (adjacency[f * 3 + k] != kNoNeighbour) continue;
      uint32_t a = rep(indices[f * 3 + k]), b = rep(indices[f * 3 + (k + 1) % 3]);
      if (a == b) continue;
      auto it = edges.find(EdgeKey(b, a));
      if (it == edges.end()) continue;
      // Skip the partners already taken at the front; an edge shared by very many faces
      // (never in a real mesh) gets a bounded search rather than a quadratic one.
      std::vector<uint32_t>& slots = it->second;
      size_t& first = taken[EdgeKey(b, a)];
      while (first < slots.size() && adjacency[slots[first]] != kNoNeighbour) ++first;
      for (size_t i = first; i < slots.size() && i < first + 64; ++i) {
        const uint32_t slot = slots[i];
        const uint32_t g = slot / 3;
        if (g != f && adjacency[slot] == kNoNeighbour) {
          adjacency[f * 3 + k] = g;
          adjacency[slot] = f;
          break;
        }
      }
    }
  }
}

void PointRepsFromAdjacency(const uint32_t* indices, uint32_t numFaces, const uint32_t* adjacency,
                            uint32_t numVertices, uint32_t* pointReps) {
  std::vector<uint32_t> parent(numVertices);
  std::iota(parent.begin(), parent.end(), 0u);
  auto join = [&](uint32_t a, uint32_t b) {
    if (a >= numVertices || b >= numVertices) return;
    a = FindRoot(parent, a);
    b = FindRoot(parent, b);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
  };
  for (uint32_t f = 0; f < numFaces && adjacency; ++f) {
    for (uint32_t k = 0; k < 3; ++k) {
      uint32_t g = adjacency[f * 3 + k];
      if (g >= numFaces) continue;
      uint32_t a = indices[f * 3 + k], b = indices[f * 3 + (k + 1) % 3];
      // The shared edge runs b -> a in the neighbour.
      for (uint32_t j = 0; j < 3; ++j) {
        if (adjacency[g * 3 + j] != f) continue;
        join(a, indices[g * 3 + (j + 1) % 3]);
        join(b, indices[g * 3 + j]);
        break;
      }
    }
  }
  for (uint32_t v = 0; v < numVertices; ++v) pointReps[v] = FindRoot(parent, v);
}

bool SortByAttribute(const uint32_t* indices, const uint32_t* attributes, uint32_t numFaces, uint32_t numVertices,
                     const uint32_t* adjacency, bool compact, AttributeSortResult& out) {
  out = AttributeSortResult{};
  for (size_t i = 0; i < static_cast<size_t>(numFaces) * 3; ++i) {
    if (indices[i] >= numVertices) return false;
  }
  out.faceRemap.resize(numFaces);
  std::iota(out.faceRemap.begin(), out.faceRemap.end(), 0u);
  std::stable_sort(out.faceRemap.begin(), out.faceRemap.end(),
                   [&](uint32_t a, uint32_t b) { return attributes[a] < attributes[b]; });

  std::vector<uint32_t> newVertexOf(numVertices, kNoNeighbour);  // within the current range
  std::vector<bool> used(numVertices, false);
  out.indices.resize(static_cast<size_t>(numFaces) * 3);
  out.attributes.resize(numFaces);
  uint32_t f = 0;
  while (f < numFaces) {
    AttributeRange range{attributes[out.faceRemap[f]], f, 0, static_cast<uint32_t>(out.vertexRemap.size()), 0};
    uint32_t end = f;
    while (end < numFaces && attributes[out.faceRemap[end]] == range.attribId) ++end;
    std::vector<uint32_t> rangeVertices;
    for (uint32_t g = f; g < end; ++g) {
      for (uint32_t k = 0; k < 3; ++k) rangeVertices.push_back(indices[out.faceRemap[g] * 3 + k]);
    }
    std::sort(rangeVertices.begin(), rangeVertices.end());
    rangeVertices.erase(std::unique(rangeVertices.begin(), rangeVertices.end()), rangeVertices.end());
    for (uint32_t v : rangeVertices) {
      newVertexOf[v] = static_cast<uint32_t>(out.vertexRemap.size());
      used[v] = true;
      out.vertexRemap.push_back(v);
    }
    for (uint32_t g = f; g < end; ++g) {
      for (uint32_t k = 0; k < 3; ++k) out.indices[g * 3 + k] = newVertexOf[indices[out.faceRemap[g] * 3 + k]];
      out.attributes[g] = range.attribId;
    }
    range.faceCount = end - f;
    range.vertexCount = static_cast<uint32_t>(rangeVertices.size());
    out.table.push_back(range);
    f = end;
  }
  if (!compact) {
    for (uint32_t v = 0; v < numVertices; ++v) {
      if (!used[v]) out.vertexRemap.push_back(v);
    }
  }
  if (adjacency) {
    std::vector<uint32_t> newFaceOf(numFaces);
    for (uint32_t g = 0; g < numFaces; ++g) newFaceOf[out.faceRemap[g]] = g;
    out.adjacency.resize(static_cast<size_t>(numFaces) * 3);
    for (uint32_t g = 0; g < numFaces; ++g) {
      for (uint32_t k = 0; k < 3; ++k) {
        uint32_t n = adjacency[out.faceRemap[g] * 3 + k];
        out.adjacency[g * 3 + k] = n < numFaces ? newFaceOf[n] : kNoNeighbour;
      }
    }
  }
  return true;
}

}  // namespace xfile
