#include "platform/xfile/mesh_topology.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using xfile::kNoNeighbour;

TEST(MeshTopology, PointRepsJoinEqualAndNearPositions) {
  const float positions[] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 1.0005f, 0, 0, -0.0f, 0, 0};
  std::vector<uint32_t> exact = xfile::ComputePointReps(reinterpret_cast<const uint8_t*>(positions), 5, 12, 0.0f);
  EXPECT_EQ(std::vector<uint32_t>({0, 1, 0, 3, 0}), exact);  // -0 is 0
  std::vector<uint32_t> near = xfile::ComputePointReps(reinterpret_cast<const uint8_t*>(positions), 5, 12, 0.001f);
  EXPECT_EQ(std::vector<uint32_t>({0, 1, 0, 1, 0}), near);
}

TEST(MeshTopology, AdjacencyAcrossSplitVerticesAndBack) {
  // Two triangles of a quad whose diagonal vertices are duplicated (4, 5 copy 0, 2).
  const uint32_t indices[] = {0, 1, 2, 5, 3, 4};
  const uint32_t reps[] = {0, 1, 2, 3, 0, 2};
  uint32_t adjacency[6];
  xfile::AdjacencyFromPointReps(indices, 2, reps, 6, adjacency);
  EXPECT_EQ(kNoNeighbour, adjacency[0]);
  EXPECT_EQ(kNoNeighbour, adjacency[1]);
  EXPECT_EQ(1u, adjacency[2]);  // edge 2-0
  EXPECT_EQ(kNoNeighbour, adjacency[3]);
  EXPECT_EQ(kNoNeighbour, adjacency[4]);
  EXPECT_EQ(0u, adjacency[5]);  // edge 4-5, i.e. 0-2
  uint32_t back[6];
  xfile::PointRepsFromAdjacency(indices, 2, adjacency, 6, back);
  EXPECT_EQ(std::vector<uint32_t>(reps, reps + 6), std::vector<uint32_t>(back, back + 6));
  // Without representatives the copies are strangers.
  xfile::AdjacencyFromPointReps(indices, 2, nullptr, 6, adjacency);
  for (uint32_t a : adjacency) EXPECT_EQ(kNoNeighbour, a);
}

TEST(MeshTopology, EdgeSharedByManyFacesStaysSymmetricAndFast) {
  // 40000 faces on one edge, alternating direction: a fan no real mesh has.
  std::vector<uint32_t> indices;
  for (uint32_t f = 0; f < 40000; ++f) {
    if (f % 2) indices.insert(indices.end(), {1, 0, f + 2});
    else indices.insert(indices.end(), {0, 1, f + 2});
  }
  std::vector<uint32_t> adjacency(indices.size());
  xfile::AdjacencyFromPointReps(indices.data(), 40000, nullptr, 40002, adjacency.data());
  for (uint32_t f = 0; f < 40000; ++f) {
    const uint32_t g = adjacency[f * 3];
    ASSERT_LT(g, 40000u);
    EXPECT_EQ(f, adjacency[g * 3]);
  }
}

TEST(MeshTopology, SortRejectsIndicesOutOfRange) {
  const uint32_t indices[] = {0, 1, 9};
  const uint32_t attributes[] = {0};
  xfile::AttributeSortResult out;
  EXPECT_FALSE(xfile::SortByAttribute(indices, attributes, 1, 3, nullptr, false, out));
  const uint32_t good[] = {2, 1, 0};
  ASSERT_TRUE(xfile::SortByAttribute(good, attributes, 1, 4, nullptr, false, out));
  EXPECT_EQ(std::vector<uint32_t>({0, 1, 2, 3}), out.vertexRemap);  // unused vertex 3 kept at the end
  ASSERT_TRUE(xfile::SortByAttribute(good, attributes, 1, 4, nullptr, true, out));
  EXPECT_EQ(3u, out.vertexRemap.size());
}

}  // namespace
