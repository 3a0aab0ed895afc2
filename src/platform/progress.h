#pragma once
// A progress bar. Values outside Min..Max are clamped rather than raising, so a
// record count that moves during a run can never stop it.
namespace varnoke {

class Progress {
public:
    virtual ~Progress() = default;

    void setRange(int min, int max);
    void setMin(int min) { setRange(min, max_ < min ? min : max_); }
    void setMax(int max) { setRange(min_ > max ? max : min_, max); }
    void setValue(int value);
    void setVisible(bool visible);

    int min() const { return min_; }
    int max() const { return max_; }
    int value() const { return value_; }
    bool visible() const { return visible_; }

protected:
    // Called after every change with the clamped state.
    virtual void show() {}

private:
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    bool visible_ = false;
};

} // namespace varnoke
