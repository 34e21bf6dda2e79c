// Root of the program's abstract interfaces: an object handed around by an
// interface pointer can always be deleted through it.
#pragma once

class IUnk {
public:
    virtual ~IUnk() = default;
};
