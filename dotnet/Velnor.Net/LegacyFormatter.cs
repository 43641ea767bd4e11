namespace Velnor
{
    /// <summary>
    /// How the exceptions mark their serialization members on .NET 8 and later, as .NET's
    /// own exceptions do: the formatter-based serialization they serve is obsolete there
    /// (SYSLIB0051), yet other serializers still call them.
    /// </summary>
    internal static class LegacyFormatter
    {
        internal const string Message =
            "This API supports obsolete formatter-based serialization. It should not be called or extended by application code.";

        internal const string DiagnosticId = "SYSLIB0051";

        internal const string Url = "https://aka.ms/dotnet-warnings/{0}";
    }
}
