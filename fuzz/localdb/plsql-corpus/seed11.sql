function fact(n binary_integer) return number is
begin
  if n <= 1 then return 1; end if;
  return n * fact(n - 1);
end;