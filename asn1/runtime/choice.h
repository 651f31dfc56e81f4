#pragma once

#include "asn1/runtime/abstract_data.h"
#include "asn1/runtime/forced_inline.h"

#include <cassert>
#include <memory>

namespace ASN1 {

// One selected alternative out of the descriptor's list. Selection -1: nothing selected yet;
// -2: an attempt to select an alternative the descriptor does not have; otherwise the index
// into selectionInfos, with the alternative's value owned here.
class CHOICE : public AbstractData {
public:
    struct InfoType : AbstractData::InfoType {
        bool extendable;  // the type has an extension marker
        // The alternatives' descriptors: the root alternatives, then the known additions.
        const AbstractData::InfoType* const* selectionInfos;
        unsigned numRootAlternatives;
        unsigned numAlternatives;       // root plus known additions
        const unsigned* selectionTags;  // null: the alternatives carry context tags by index
        const char* const* selectionNames;
    };

    // Takes ownership of value, as setSelection().
    explicit CHOICE(const InfoType* info, int selection = -1, AbstractData* value = nullptr) : AbstractData(info)
    {
        if (selection != -1 || value)
            setSelection(selection, value);
    }
    CHOICE(const CHOICE& other);
    // Takes other's alternative; other is left with nothing selected.
    CHOICE(CHOICE&& other) noexcept;
    CHOICE& operator=(const CHOICE& other);
    CHOICE& operator=(CHOICE&& other) noexcept;
    ~CHOICE() override { discard(choice_.release()); }
    void swap(CHOICE& other) noexcept;

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }

    int currentSelection() const { return selection_; }
    // The held alternative of whatever class, or null.
    AbstractData* getSelection() { return choice_.get(); }
    const AbstractData* getSelection() const { return choice_.get(); }
    // The held alternative as T, only when `index` is the selection and the held value is a T;
    // null otherwise. Typed reads go through here, so a decoded selection can never be read as
    // another alternative's class.
    template <class T>
    T* getSelectionAs(int index)
    {
        return selection_ == index ? dynamic_cast<T*>(choice_.get()) : nullptr;
    }
    template <class T>
    const T* getSelectionAs(int index) const
    {
        return selection_ == index ? dynamic_cast<const T*>(choice_.get()) : nullptr;
    }

    // Deletes the current alternative and takes ownership of value under index; returns value.
    // Index -1 (nothing selected) or one the descriptor does not have (selection -2) holds no
    // value: value is deleted and null returned.
    AbstractData* setSelection(int index, AbstractData* value);
    // The alternative index for a decoder to fill: the held one when index is selected, else a
    // new T or one its spare kept, T being the class of the alternative's descriptor (what
    // generated code knows). The value that goes is kept by its own spare when it can be.
    template <class T>
    ASN1_FORCED_INLINE AbstractData& alternative(int index)
    {
        return selection_ == index && choice_ ? *choice_ : replaceAlternative<T>(index);
    }
    // Selects index with a new default value of that alternative's type (what decoders call). An
    // index the descriptor does not have, or whose descriptor entry is null, gives selection -2,
    // no alternative and false.
    bool createSelection(int index);

    // An alternative selected and held, and valid itself. isValid() takes an addition of an
    // extendable type; isStrictlyValid() only a root alternative.
    bool isValid() const;
    bool isStrictlyValid() const;

protected:
    // The alternatives' comparison when both select the same alternative, else the difference of
    // the selections.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    template <class T>
    AbstractData& replaceAlternative(int index)
    {
        assert(knows(index) && info()->selectionInfos[index] == &T::theInfo);
        T* fresh = detail::Spare<T>::take();
        discard(choice_.release());
        choice_.reset(fresh);
        selection_ = index;
        return *fresh;
    }
    // Hands value to its spare, else deletes it.
    ASN1_FORCED_INLINE static void discard(AbstractData* value) noexcept
    {
        if (value && !(value->info()->keep && value->info()->keep(value)))
            delete value;
    }
    bool knows(int index) const { return index >= 0 && static_cast<unsigned>(index) < info()->numAlternatives; }

    std::unique_ptr<AbstractData> choice_;
    int selection_ = -1;
};

}  // namespace ASN1
