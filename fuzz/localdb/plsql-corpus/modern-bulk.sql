declare
  type nt is table of emp.empno%type;
  type ix is table of pls_integer index by pls_integer;
  e nt;
  v ix;
  errors exception;
  pragma exception_init(errors, -24381);
begin
  select empno bulk collect into e from emp;
  forall i in indices of e between 2 and 5 save exceptions
    update emp set sal = sal where empno = e(i);
  v(1) := 3;
  forall i in values of v delete from emp where empno = e(i);
  dbms_output.put_line(sql%bulk_rowcount(1));
exception
  when errors then
    for j in 1 .. sql%bulk_exceptions.count loop
      dbms_output.put_line(sql%bulk_exceptions(j).error_index || sql%bulk_exceptions(j).error_code);
    end loop;
end;
