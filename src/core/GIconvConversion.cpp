#include "GIconvConversion.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace
{
const libiconv_t kInvalidConverter = reinterpret_cast<libiconv_t>(-1);
constexpr std::size_t kConversionFailed = static_cast<std::size_t>(-1);

class Converter
{
public:
    Converter(const char* toEncoding, const char* fromEncoding)
        : mConverter(libiconv_open(toEncoding, fromEncoding))
    {
        if (mConverter == kInvalidConverter)
        {
            throw std::runtime_error("Unable to initialize iconv (error " + std::to_string(errno) + ")");
        }
    }
    ~Converter() { libiconv_close(mConverter); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // One step of the conversion (a null input flushes the converter's state); the output
    // arguments advance past what was written.
    std::size_t Step(const char** input, std::size_t* inputLeft, char** output, std::size_t* outputLeft)
    {
        return libiconv(mConverter, input, inputLeft, output, outputLeft);
    }

private:
    libiconv_t mConverter;
};
} // namespace

std::string IconvConvert(const std::string& text, const char* toEncoding, const char* fromEncoding)
{
    Converter converter(toEncoding, fromEncoding);
    // Room for the text as it is; the buffer doubles whenever the conversion needs more.
    std::string converted(text.size() + 16, '\0');
    std::size_t used = 0;
    const char* input = text.data();
    std::size_t inputLeft = text.size();
    bool flushing = false;
    while (true)
    {
        char* output = converted.data() + used;
        std::size_t outputLeft = converted.size() - used;
        const std::size_t result = flushing ? converter.Step(nullptr, nullptr, &output, &outputLeft)
                                            : converter.Step(&input, &inputLeft, &output, &outputLeft);
        const int error = errno;
        used = converted.size() - outputLeft;
        if (result != kConversionFailed)
        {
            if (flushing)
            {
                break;
            }
            flushing = true;
            continue;
        }
        if (error == E2BIG)
        {
            converted.resize(converted.size() * 2);
            continue;
        }
        throw std::runtime_error("Unable to convert string to " + std::string(toEncoding) + " (error " +
                                 std::to_string(error) + "): " + text);
    }
    converted.resize(used);
    return converted;
}
