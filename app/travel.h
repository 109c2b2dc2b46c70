#pragma once

// How far a rotator turns, in the degrees of its own commands: one turn from the counter-clockwise
// end stop (0..360) for most, more for those that turn past it into an overlap (0..450), where the
// headings near the end stops can be reached at two positions. Also the azimuths the antenna
// points to over that travel, once offset and stop side are applied.
struct Travel {
    int minimum = 0;
    int maximum = 360;
    friend bool operator==(const Travel &, const Travel &) = default;
    bool overlaps() const { return maximum - minimum > 360; }
    int middle() const { return minimum + (maximum - minimum) / 2; }
    // Turned past north, before 0 or beyond 360 (Hamlib's overlap on the left or right).
    bool inOverlap(long double position) const { return overlaps() && (position < 0 || position >= 360); }
};
