// CO3duDelauney: Delaunay triangulation of plane points inside a seed rectangle, one point at a time: the
// triangle holding the point is split in three, then edge flips restore the empty-circumcircle property.
#pragma once
#include <cstdint>
#include <vector>

// One triangle: vertices counter-clockwise; neighbour k lies across the edge opposite vertex k, -1 for none.
struct DelauneyTriangle {
    int32_t vertices[3];
    int32_t neighbours[3];
};

class CO3duDelauney {
public:
    CO3duDelauney();
    CO3duDelauney(const CO3duDelauney&) = default;
    CO3duDelauney(CO3duDelauney&&) noexcept = default;
    CO3duDelauney& operator=(const CO3duDelauney&) = default;
    CO3duDelauney& operator=(CO3duDelauney&&) noexcept = default;
    virtual ~CO3duDelauney() = default;

    // Starts over with the rectangle (0, 0)-(w, h) as two triangles; every later point must lie inside it.
    void InitRectangle(double w, double h);
    // A point outside every triangle is ignored; equal points are stored again, never merged.
    void AddPoint(double x, double y);
    // The same as AddPoint for each point in turn, as to which points are stored and their numbers, but inserted
    // in an order that keeps neighbours together (along a Hilbert curve), so each search walks a few steps from the
    // last point instead of across the whole mesh. The triangles are the same (where four points share a circle,
    // either diagonal may come out); their order in the table is not.
    void AddPoints(const double* x, const double* y, int count);

    // Seed corners included: they are points 0 to 3.
    int GetPointCount() const { return static_cast<int>(x_.size()); }
    int GetTriangleCount() const { return static_cast<int>(triangles_.size()); }
    int GetPoint(int i, double& x, double& y) const;
    int GetTriangle(int i, int& a, int& b, int& c) const;

private:
    int FindTriangle(double x, double y) const;
    int FindTriangleByScan(double x, double y) const;
    static int GetCircumcircle(double x1, double y1, double x2, double y2, double x3, double y3, double& cx, double& cy,
                               double& r2);
    void SwapEdge(int i, int j);
    int LinkTriangles(int i, int j);
    int GetCommonEdge(int i, int j, int& slot_i, int& slot_j) const;
    int AppendVertex(double x, double y);
    int AppendTriangle(const DelauneyTriangle& record);
    void ClearPoints();
    // Splits triangle t at point s (already stored at x, y; the table has room for two more triangles) and
    // restores the empty-circumcircle property around it.
    void InsertStoredPoint(int s, double x, double y, int t);
    void ClearTriangles();
    bool valid_triangle(int i) const { return i >= 0 && i < static_cast<int>(triangles_.size()); }

    std::vector<double> x_;
    std::vector<double> y_;
    std::vector<DelauneyTriangle> triangles_;
    // Where the next search starts walking: consecutive points usually lie close together.
    mutable int32_t last_found_ = 0;
    double width_ = 0.0, height_ = 0.0;  // the seed rectangle
    std::vector<int32_t> stack_;         // the legalising stack, kept between points
};
