#pragma once
namespace vxWebFw::Options {

// The two settings the framework algorithms read: the object model (0 DOM
// model, 1..3 Tree model) and whether names are preferred over ids.
class IOptionsProvider
{
public:
    virtual long GetObjectModel() = 0;
    virtual bool GetPreferName() = 0;

protected:
    ~IOptionsProvider() = default;
};

class CWebFwOptionsProviderImpl : public IOptionsProvider
{
public:
    virtual ~CWebFwOptionsProviderImpl() = default;
};

// Options held in the object itself; by default the Tree model 3 and ids
// before names.
class COptionsProviderImpl : public CWebFwOptionsProviderImpl
{
public:
    COptionsProviderImpl() = default;
    COptionsProviderImpl(long objectModel, bool preferName) : objectModel_(objectModel), preferName_(preferName) {}

    long GetObjectModel() override { return objectModel_; }
    bool GetPreferName() override { return preferName_; }

private:
    long objectModel_ = 3;
    bool preferName_ = false;
};

} // namespace vxWebFw::Options
